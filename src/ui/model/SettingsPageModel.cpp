#include "ui/model/SettingsPageModel.h"

#include <algorithm>
#include <utility>

#include "platform/Process.h"

namespace velmora::ui {

namespace {

int32_t AsCheckState(int32_t value)
{
    return value >= kUnchecked && value <= kIndeterminate ? value : kUnchecked;
}

} // namespace

ExchangeValues AsControlsHoldThem(const ExchangeValues& values)
{
    ExchangeValues shown;
    shown.speed = std::clamp(values.speed, kSpeedMin, kSpeedMax);
    shown.demoMode = AsCheckState(values.demoMode);
    shown.useDesktop = AsCheckState(values.useDesktop);
    shown.randomStart = AsCheckState(values.randomStart);
    const int32_t cameras = static_cast<int32_t>(kCameraEntries.size());
    shown.cameraIndex = values.cameraIndex >= 0 && values.cameraIndex < cameras ? values.cameraIndex : -1;
    return shown;
}

std::vector<std::string> PreviewCommand(const std::string& programPath)
{
    return {programPath, "/sp"};
}

SettingsPageModel::SettingsPageModel(SettingsPageView& view, const platform::DisplayModeSource& displayModes,
    platform::ProcessStarter& starter, PathSource programPath)
    : view_(view)
    , displayModes_(displayModes)
    , starter_(starter)
    , programPath_(std::move(programPath))
{
}

void SettingsPageModel::Initialise()
{
    modeList_.ClearModes();
    LoadControls();
}

void SettingsPageModel::LoadControls()
{
    settings_.Load();
    values_.speed = settings_.AnimationSpeed;
    values_.cameraIndex = settings_.CamMode;
    values_.useDesktop = settings_.CurrentVideomode;
    values_.demoMode = static_cast<int32_t>(settings_.DemoMode);
    values_.randomStart = static_cast<int32_t>(settings_.RandomCameraStart);
    view_.EnableModeChoice(settings_.CurrentVideomode == 0);
    TakeSelectionFromView();
    modeList_.ShowStoredMode(settings_);
    view_.ShowModeList(modeList_);
    view_.WriteControls(AsControlsHoldThem(values_));
}

void SettingsPageModel::ReadControls()
{
    values_ = view_.ReadControls();
}

void SettingsPageModel::TakeSelectionFromView()
{
    modeList_.Select(view_.SelectedModeEntry());
}

void SettingsPageModel::Save()
{
    ReadControls();
    settings_.AnimationSpeed = values_.speed;
    settings_.CamMode = values_.cameraIndex;
    settings_.CurrentVideomode = values_.useDesktop;
    settings_.DemoMode = static_cast<uint32_t>(values_.demoMode);
    settings_.RandomCameraStart = static_cast<uint32_t>(values_.randomStart);
    TakeSelectionFromView();
    modeList_.ApplyTo(settings_);
    settings_.Save();
}

void SettingsPageModel::RestoreDefaults()
{
    SaverSettings fresh;
    fresh.RestoreDefaults();
    LoadControls();
}

bool SettingsPageModel::Preview()
{
    Save();
    const std::string path = programPath_ ? programPath_() : std::string();
    if (path.empty())
        return false;
    return starter_.StartDetached(PreviewCommand(path));
}

void SettingsPageModel::UseDesktopClicked()
{
    ReadControls();
    view_.EnableModeChoice(values_.useDesktop == 0);
}

void SettingsPageModel::ModeChoiceFocused()
{
    TakeSelectionFromView();
    modeList_.RefreshModes(displayModes_);
    view_.ShowModeList(modeList_);
}

void SettingsPageModel::ModeChoiceDroppedDown()
{
    if (!modeList_.Modes().empty())
        return;
    TakeSelectionFromView();
    modeList_.EnsureModes(displayModes_);
    view_.ShowModeList(modeList_);
}

} // namespace velmora::ui
