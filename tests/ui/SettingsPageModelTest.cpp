// The settings page's logic over a recording view, a fixed display-mode list
// and a private registry file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TempRegistry.h"
#include "ui/model/SettingsPageModel.h"
#include "ui/model/VideoModeList.h"
#include "ui/PageTestSupport.h"

namespace velmora::ui {
namespace {

using platform::DisplayMode;
using testing::FixedModes;
using testing::kReportedModes;
using testing::RecordingStarter;
using testing::StoredSettings;
using testing::StoreSettings;
using testing::WithOwnMode;

// Holds the controls' contents the way widgets would.
class FakeView final : public SettingsPageView {
public:
    ExchangeValues ReadControls() const override { return controls; }
    void WriteControls(const ExchangeValues& values) override { controls = values; }
    void EnableModeChoice(bool enabled) override { modeEnabled = enabled; }
    void ShowModeList(const VideoModeList& list) override
    {
        entries = list.Entries();
        selected = list.Selected();
    }
    int SelectedModeEntry() const override { return selected; }

    // The user picks the entry with this text.
    bool Choose(const std::string& text)
    {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].text == text) {
                selected = static_cast<int>(i);
                return true;
            }
        return false;
    }
    std::string SelectedText() const { return selected >= 0 ? entries[selected].text : std::string(); }

    ExchangeValues controls;
    bool modeEnabled = true;
    std::vector<ModeEntry> entries;
    int selected = -1;
};

class SettingsPageModelTest : public ::testing::Test {
protected:
    void Open() { model.Initialise(); }

    testing::TempRegistry registry;
    FixedModes modes;
    RecordingStarter starter;
    FakeView view;
    std::string programPath = "/opt/kestrova/Velmora 3D/Velmora3D";
    SettingsPageModel model {view, modes, starter, [this] { return programPath; }};
};

// [SECTION] The video-mode list on its own

TEST(VideoModeListTest, OffersOneEntryPerSizeAndDepthInReportedOrderWithoutShallowModes)
{
    const std::vector<DisplayMode> offered = OfferedModes(kReportedModes);
    const std::vector<DisplayMode> expected
        = {{800, 600, 32}, {1280, 720, 16}, {1024, 768, 16}, {1280, 720, 32}};
    EXPECT_EQ(offered, expected);

    VideoModeList list;
    list.EnumerateModes(FixedModes());
    const std::vector<ModeEntry> entries = {{"800x600 (32 bits)", 0}, {"1280x720 (16 bits)", 1},
        {"1024x768 (16 bits)", 2}, {"1280x720 (32 bits)", 3}};
    EXPECT_EQ(list.Entries(), entries);
    EXPECT_EQ(list.Selected(), -1);
}

TEST(VideoModeListTest, ASystemWithOnlyShallowModesOffersNothing)
{
    FixedModes shallow;
    shallow.modes = {{640, 480, 8}, {640, 480, 8}, {320, 200, 1}};
    VideoModeList list;
    list.EnumerateModes(shallow);
    EXPECT_TRUE(list.Entries().empty());
    list.RefreshModes(shallow);
    EXPECT_EQ(list.Selected(), -1);
    SaverSettings settings;
    settings.CurrentVideomode = 0;
    list.ApplyTo(settings);
    EXPECT_EQ(settings.CurrentVideomode, 1);
}

struct LabelCase {
    DisplayMode mode;
    const char* text;
};

class ModeLabelTest : public ::testing::TestWithParam<LabelCase> { };

TEST_P(ModeLabelTest, FormatsWidthHeightAndDepth)
{
    const DisplayMode& m = GetParam().mode;
    EXPECT_EQ(ModeLabel(m.width, m.height, m.bitsPerPixel), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Labels, ModeLabelTest,
    ::testing::Values(LabelCase {{1024, 768, 16}, "1024x768 (16 bits)"},
        LabelCase {{800, 600, 32}, "800x600 (32 bits)"}, LabelCase {{-1, 0, 24}, "-1x0 (24 bits)"},
        LabelCase {{7680, 4320, 30}, "7680x4320 (30 bits)"}));

struct ApplyCase {
    const char* name;
    int select; // entry to select after enumerating; -1 none; -2 the stored entry alone
    int32_t useDesktopBefore;
    DisplayMode expectedMode;
    int32_t expectedUseDesktop;
};

class ModeApplyTest : public ::testing::TestWithParam<ApplyCase> { };

TEST_P(ModeApplyTest, MapsTheChoiceOntoTheSettings)
{
    const ApplyCase& c = GetParam();
    SaverSettings settings;
    settings.XResolution = 640;
    settings.YResolution = 400;
    settings.ColorDepth = 24;
    settings.CurrentVideomode = c.useDesktopBefore;
    VideoModeList list;
    if (c.select == kStoredModeItem) {
        list.ShowStoredMode(settings);
    } else {
        list.EnumerateModes(FixedModes());
        list.Select(c.select);
    }
    list.ApplyTo(settings);
    EXPECT_EQ(
        (DisplayMode {settings.XResolution, settings.YResolution, settings.ColorDepth}), c.expectedMode);
    EXPECT_EQ(settings.CurrentVideomode, c.expectedUseDesktop);
}

INSTANTIATE_TEST_SUITE_P(Choices, ModeApplyTest,
    ::testing::Values(ApplyCase {"NoSelectionMeansDesktop", -1, 0, {640, 400, 24}, 1},
        ApplyCase {"EnumeratedModeKeepsTheCheckBoxState", 1, 0, {1280, 720, 16}, 0},
        ApplyCase {"EnumeratedModeWithDesktopChecked", 3, 1, {1280, 720, 32}, 1},
        ApplyCase {"StoredEntryKeepsTheValues", kStoredModeItem, 0, {640, 400, 24}, 0},
        ApplyCase {"IndexPastTheEntriesSelectsNothing", 9, 0, {640, 400, 24}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VideoModeListTest, StoredEntryReplacesASingleEntryButNotAnEnumeratedList)
{
    SaverSettings stored;
    VideoModeList list;
    list.ShowStoredMode(stored);
    ASSERT_EQ(list.Entries(), (std::vector<ModeEntry> {{"1024x768 (16 bits)", kStoredModeItem}}));
    EXPECT_EQ(list.Selected(), 0);

    // A single entry is replaced by the stored mode as it is now.
    stored.XResolution = 800;
    stored.YResolution = 600;
    stored.ColorDepth = 32;
    list.ShowStoredMode(stored);
    EXPECT_EQ(list.Entries(), (std::vector<ModeEntry> {{"800x600 (32 bits)", kStoredModeItem}}));

    // An enumerated list keeps its entries and its selection.
    list.EnumerateModes(FixedModes());
    list.Select(2);
    list.ShowStoredMode(stored);
    EXPECT_EQ(list.Entries().size(), 4u);
    EXPECT_EQ(list.Selected(), 2);
}

// [SECTION] The page logic over the registry

TEST_F(SettingsPageModelTest, OpeningWithDefaultsShowsTheStoredModeAndDisablesTheCombo)
{
    Open();
    EXPECT_EQ(view.controls, (ExchangeValues {50, 0, 1, 1, 0}));
    EXPECT_FALSE(view.modeEnabled);
    ASSERT_EQ(view.entries, (std::vector<ModeEntry> {{"1024x768 (16 bits)", kStoredModeItem}}));
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(modes.calls, 0); // nothing enumerated before the user asks
}

TEST_F(SettingsPageModelTest, TheComboIsEnabledExactlyWhenUseDesktopIsOff)
{
    Open();
    const struct {
        int32_t state;
        bool enabled;
    } rows[] = {{kUnchecked, true}, {kChecked, false}, {kIndeterminate, false}, {kUnchecked, true}};
    for (const auto& row : rows) {
        view.controls.useDesktop = row.state;
        model.UseDesktopClicked();
        EXPECT_EQ(view.modeEnabled, row.enabled) << row.state;
    }
    // The click alone stores nothing.
    platform::RegistryKey program;
    platform::RegistryValue stored;
    EXPECT_FALSE(program.Open("Software\\Tarnwick\\Kestrova3D\\Velmora3D")
        && program.QueryValue("CurrentVideomode", stored));
}

TEST_F(SettingsPageModelTest, StoredValuesAreShownAsTheControlsCanHoldThem)
{
    SaverSettings s;
    s.AnimationSpeed = 150;
    s.CamMode = 5;
    s.DemoMode = 7;
    s.RandomCameraStart = 2;
    s.CurrentVideomode = 0;
    StoreSettings(s);
    Open();
    EXPECT_EQ(view.controls, (ExchangeValues {100, 0, 0, 2, -1}));
    EXPECT_TRUE(view.modeEnabled);
}

TEST_F(SettingsPageModelTest, StoredCameraFiveIsSavedAsMinusOne)
{
    SaverSettings s;
    s.CamMode = 5;
    StoreSettings(s);
    Open();
    EXPECT_EQ(view.controls.cameraIndex, -1);
    model.Save();
    EXPECT_EQ(StoredSettings().CamMode, -1);
    // All 32 bits, as an unsigned registry value holds them.
    platform::RegistryKey key;
    uint32_t raw = 0;
    ASSERT_TRUE(key.Open("Software\\Tarnwick\\Kestrova3D\\Velmora3D"));
    ASSERT_TRUE(key.QueryDword("CamMode", raw));
    EXPECT_EQ(raw, 0xFFFFFFFFu);
}

TEST_F(SettingsPageModelTest, SavingStoresEveryControl)
{
    Open();
    view.controls = {73, 1, 0, 0, 2};
    model.ModeChoiceFocused();
    ASSERT_TRUE(view.Choose("1280x720 (32 bits)"));
    model.Save();
    const SaverSettings s = StoredSettings();
    EXPECT_EQ(s.AnimationSpeed, 73);
    EXPECT_EQ(s.DemoMode, 1u);
    EXPECT_EQ(s.CurrentVideomode, 0);
    EXPECT_EQ(s.RandomCameraStart, 0u);
    EXPECT_EQ(s.CamMode, 2);
    EXPECT_EQ((DisplayMode {s.XResolution, s.YResolution, s.ColorDepth}), (DisplayMode {1280, 720, 32}));
}

TEST_F(SettingsPageModelTest, RestoreDefaultsKeepsRandomSequenceAndDropsUnsavedEdits)
{
    SaverSettings s = WithOwnMode({800, 600, 32});
    s.RandomCameraStart = 0;
    s.AnimationSpeed = 10;
    s.DemoMode = 1;
    StoreSettings(s);
    Open();
    view.controls = {90, 0, 0, 1, 2}; // edits never saved
    model.RestoreDefaults();
    EXPECT_EQ(view.controls, (ExchangeValues {50, 0, 1, 0, 0}));
    EXPECT_FALSE(view.modeEnabled);
    EXPECT_EQ(view.entries, (std::vector<ModeEntry> {{"1024x768 (16 bits)", kStoredModeItem}}));
    const SaverSettings stored = StoredSettings();
    EXPECT_EQ(stored.RandomCameraStart, 0u);
    EXPECT_EQ(stored.AnimationSpeed, 50);
    EXPECT_EQ(stored.XResolution, 1024);
}

TEST_F(SettingsPageModelTest, RestoreDefaultsAfterEnumeratingKeepsTheChosenMode)
{
    Open();
    model.ModeChoiceFocused();
    ASSERT_TRUE(view.Choose("800x600 (32 bits)"));
    model.RestoreDefaults();
    EXPECT_EQ(view.SelectedText(), "800x600 (32 bits)");
    EXPECT_EQ(view.entries.size(), 4u);
    model.Save();
    const SaverSettings s = StoredSettings();
    EXPECT_EQ((DisplayMode {s.XResolution, s.YResolution, s.ColorDepth}), (DisplayMode {800, 600, 32}));
    EXPECT_EQ(s.CurrentVideomode, 1);
}

TEST_F(SettingsPageModelTest, FocusKeepsAnOfferedStoredModeSelected)
{
    Open();
    model.ModeChoiceFocused();
    EXPECT_EQ(modes.calls, 1);
    EXPECT_EQ(view.SelectedText(), "1024x768 (16 bits)");
    EXPECT_EQ(view.entries[view.selected].itemValue, 2);
    // Every focus enumerates again and keeps the text the user chose.
    ASSERT_TRUE(view.Choose("1280x720 (16 bits)"));
    model.ModeChoiceFocused();
    EXPECT_EQ(modes.calls, 2);
    EXPECT_EQ(view.SelectedText(), "1280x720 (16 bits)");
    model.Save();
    EXPECT_EQ(StoredSettings().XResolution, 1280);
}

TEST_F(SettingsPageModelTest, AStoredModeTheSystemDoesNotOfferLosesItsSelection)
{
    StoreSettings(WithOwnMode({1600, 1200, 32}));
    Open();
    EXPECT_EQ(view.SelectedText(), "1600x1200 (32 bits)");
    model.ModeChoiceFocused();
    EXPECT_EQ(view.selected, -1);
    model.Save();
    const SaverSettings stored = StoredSettings();
    EXPECT_EQ(stored.CurrentVideomode, 1);
    EXPECT_EQ(stored.XResolution, 1600); // the mode itself is not touched
}

TEST_F(SettingsPageModelTest, DropDownEnumeratesOnlyWhileNoModesAreKnown)
{
    Open();
    model.ModeChoiceDroppedDown();
    EXPECT_EQ(modes.calls, 1);
    EXPECT_EQ(view.entries.size(), 4u);
    EXPECT_EQ(view.selected, -1);
    ASSERT_TRUE(view.Choose("800x600 (32 bits)"));
    model.ModeChoiceDroppedDown();
    EXPECT_EQ(modes.calls, 1);
    EXPECT_EQ(view.SelectedText(), "800x600 (32 bits)");
}

TEST_F(SettingsPageModelTest, PreviewSavesFirstThenStartsTheProgramFullScreen)
{
    Open();
    view.controls.speed = 12;
    EXPECT_TRUE(model.Preview());
    ASSERT_EQ(starter.started.size(), 1u);
    EXPECT_EQ(starter.started[0], (std::vector<std::string> {programPath, "/sp"}));
    EXPECT_EQ(starter.storedAtStart.AnimationSpeed, 12);

    starter.succeed = false;
    EXPECT_FALSE(model.Preview());
    EXPECT_EQ(starter.started.size(), 2u);
}

TEST_F(SettingsPageModelTest, PreviewWithoutAProgramPathOnlySaves)
{
    Open();
    programPath.clear();
    view.controls.speed = 33;
    EXPECT_FALSE(model.Preview());
    EXPECT_TRUE(starter.started.empty());
    EXPECT_EQ(StoredSettings().AnimationSpeed, 33);
}

struct HoldCase {
    ExchangeValues given;
    ExchangeValues held;
};

class ControlHoldingTest : public ::testing::TestWithParam<HoldCase> { };

TEST_P(ControlHoldingTest, ValuesOutsideTheControlsRangesAreShownAsTheControlsWould)
{
    EXPECT_EQ(AsControlsHoldThem(GetParam().given), GetParam().held);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ControlHoldingTest,
    ::testing::Values(HoldCase {{50, 0, 1, 1, 0}, {50, 0, 1, 1, 0}},
        HoldCase {{-5, 2, 2, 2, 2}, {0, 2, 2, 2, 2}}, HoldCase {{101, 3, -1, 9, 3}, {100, 0, 0, 0, -1}},
        HoldCase {{100, 1, 0, 0, -7}, {100, 1, 0, 0, -1}}));

} // namespace
} // namespace velmora::ui
