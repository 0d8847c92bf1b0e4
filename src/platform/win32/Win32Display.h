#pragma once
// The primary display as a Windows full-screen run sees it: its mode, the
// temporary change of it, and the system's screensaver-running flag.

#include <memory>

#include "platform/DisplayModes.h"

namespace velmora::platform {

// Mode changes through ChangeDisplaySettings with CDS_FULLSCREEN, so the
// system puts the registry's mode back by itself if the program dies.
std::unique_ptr<DisplayModeSwitcher> MakeWin32DisplaySwitcher();

// Every mode EnumDisplaySettings reports for the primary display, in its order.
std::unique_ptr<DisplayModeSource> MakeWin32DisplayModeSource();

// SPI_SETSCREENSAVERRUNNING: tells the system a screensaver runs (which
// keeps some system keys away on older Windows). False when refused.
bool SetWin32ScreenSaverRunning(bool running);

} // namespace velmora::platform
