#pragma once
// The display mode a full-screen run uses: the stored one when the user chose
// one and the server agrees, the desktop's otherwise.

#include "app/PixelGeometry.h"
#include "platform/DisplayModes.h"
#include "settings/SaverSettings.h"

namespace velmora {

struct DisplayModeOutcome {
    bool changed = false; // a temporary change is in force
    bool saveSettings = false; // the refused mode was replaced in `settings`
};

// Compares the stored mode with the screen, fills in missing values and asks
// `switcher` for the change. A refused change falls back to the desktop:
// `settings` then holds `fullScreenClient` and CurrentVideomode 1, and the
// outcome asks the caller to save them so later runs do not try again.
DisplayModeOutcome ApplyConfiguredDisplayMode(
    SaverSettings& settings, platform::DisplayModeSwitcher& switcher, PixelSize fullScreenClient);

} // namespace velmora
