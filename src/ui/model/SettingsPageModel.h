#pragma once
// The settings page's behaviour behind any view: the five exchange values
// between controls and settings, loading, saving, Restore Defaults, Preview
// and the video-mode list. A view (Qt widgets here, possibly Win32 dialogs
// later) only shows what it is told and reports what the user did.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SaverSettings.h"
#include "ui/model/VideoModeList.h"

namespace velmora::platform {
class ProcessStarter;
}

namespace velmora::ui {

// Control ids of template 133. The Qt view gives every control its id as its
// object name, so hosts and tests find them with findChild<...>("1004").
namespace page133 {
inline constexpr int kTemplateId = 133;
inline constexpr int kTabs = 1039;
inline constexpr int kVideoMode = 1004;
inline constexpr int kUseDesktop = 1005;
inline constexpr int kSpeed = 1003;
inline constexpr int kRandomSequence = 1009;
inline constexpr int kDemoMode = 1022;
inline constexpr int kCamera = 1053;
// Controls without an id of their own in the template; named so they can
// still be found.
inline constexpr const char* kCameraLabelName = "cameraLabel";
inline constexpr const char* kPictureName = "picture145";
} // namespace page133

// The About tab's page, template 142: texts only.
namespace page142 {
inline constexpr int kTemplateId = 142;
inline constexpr const char* kTitle = "Velmora 3D screensaver v1.0\n"
                                      "Copyright \u00a9 2026 Tarnwick Software.\n"
                                      "All rights reserved.";
inline constexpr const char* kContactUs = "Contact Us:";
inline constexpr const char* kWeb = "Web:\nwww.kestrova3d.com";
inline constexpr const char* kMail = "E-mail:\nvelmora@kestrova3d.com";
inline constexpr const char* kCollection
    = "(Velmora 3D screensaver is a part of our \"Kestrova 3D\" screensavers collection)";
} // namespace page142

// Tabs of the page.
inline constexpr std::array<std::string_view, 2> kPageTabs = {"&Velmora 3D", "&About"};

// The entries of the camera combo box; the list index is the stored CamMode.
inline constexpr std::array<std::string_view, 3> kCameraEntries
    = {"Cycle All (default)", "Satellite flyby", "Planetary orbit"};

// Check box states as the controls hold them.
inline constexpr int32_t kUnchecked = 0;
inline constexpr int32_t kChecked = 1;
inline constexpr int32_t kIndeterminate = 2;

inline constexpr int32_t kSpeedMin = 0;
inline constexpr int32_t kSpeedMax = 100;

struct ExchangeValues {
    int32_t speed = 0; // trackbar position
    int32_t demoMode = 0; // check box states
    int32_t useDesktop = 0;
    int32_t randomStart = 0;
    int32_t cameraIndex = -1; // camera combo selection, -1 none

    friend bool operator==(const ExchangeValues&, const ExchangeValues&) = default;
};

// What the controls end up holding when given these values: the trackbar
// clamps to its range, a check state outside 0..2 shows unchecked, and a
// camera index outside the list selects nothing.
ExchangeValues AsControlsHoldThem(const ExchangeValues& values);

// The controls of the page as the logic needs them.
class SettingsPageView {
public:
    virtual ~SettingsPageView() = default;
    virtual ExchangeValues ReadControls() const = 0;
    // `values` are already as the controls hold them.
    virtual void WriteControls(const ExchangeValues& values) = 0;
    virtual void EnableModeChoice(bool enabled) = 0;
    // Replaces the video-mode combo's entries and selection.
    virtual void ShowModeList(const VideoModeList& list) = 0;
    // The video-mode combo's selected entry; -1 when none.
    virtual int SelectedModeEntry() const = 0;
};

// The command line of the Preview command: this program in full-screen mode.
std::vector<std::string> PreviewCommand(const std::string& programPath);

class SettingsPageModel {
public:
    using PathSource = std::function<std::string()>;

    // All three must outlive the model. `programPath` gives the running
    // program's full path for Preview.
    SettingsPageModel(SettingsPageView& view, const platform::DisplayModeSource& displayModes,
        platform::ProcessStarter& starter, PathSource programPath);

    // Page creation: no modes known yet, controls loaded from the registry.
    void Initialise();
    // Loads the settings and shows them (the combo keeps an enumerated list).
    void LoadControls();
    // Reads the controls into the settings and stores them.
    void Save();
    // Resets the stored values but "Random sequence", then shows them again;
    // unsaved edits on the page are dropped.
    void RestoreDefaults();
    // Saves, then starts this program full screen without waiting; false
    // when the program could not be started (the save has happened).
    bool Preview();

    // User actions on the controls.
    void UseDesktopClicked();
    void ModeChoiceFocused();
    void ModeChoiceDroppedDown();

    const SaverSettings& Settings() const { return settings_; }
    const ExchangeValues& Values() const { return values_; }
    const VideoModeList& ModeList() const { return modeList_; }

private:
    void ReadControls();
    void TakeSelectionFromView();

    SettingsPageView& view_;
    const platform::DisplayModeSource& displayModes_;
    platform::ProcessStarter& starter_;
    PathSource programPath_;
    SaverSettings settings_;
    ExchangeValues values_;
    VideoModeList modeList_;
};

} // namespace velmora::ui
