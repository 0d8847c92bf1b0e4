// Choosing the display mode of a run, against a display that agrees or
// refuses.

#include <gtest/gtest.h>

#include <vector>

#include "app/DisplayModeSetup.h"

namespace velmora {
namespace {

using platform::DisplayMode;

class ScriptedDisplay final : public platform::DisplayModeSwitcher {
public:
    ScriptedDisplay(DisplayMode desktop, bool accept)
        : current_(desktop)
        , accept_(accept)
    {
    }
    DisplayMode Current() const override { return current_; }
    bool ChangeTemporarily(const DisplayMode& mode) override
    {
        requests.push_back(mode);
        if (accept_)
            current_ = mode;
        return accept_;
    }
    void Restore() override { ++restores; }

    std::vector<DisplayMode> requests;
    int restores = 0;

private:
    DisplayMode current_;
    bool accept_;
};

SaverSettings Stored(int width, int height, int depth, int videomode)
{
    SaverSettings s;
    s.XResolution = width;
    s.YResolution = height;
    s.ColorDepth = depth;
    s.CurrentVideomode = videomode;
    return s;
}

const QSize kClient(1280, 690);

TEST(DisplayModeSetup, StoredModeEqualToDesktopChangesNothing)
{
    ScriptedDisplay display({1280, 720, 24}, true);
    SaverSettings s = Stored(1280, 720, 24, 0);
    const DisplayModeOutcome out = ApplyConfiguredDisplayMode(s, display, kClient);
    EXPECT_TRUE(display.requests.empty());
    EXPECT_EQ(s.CurrentVideomode, 1);
    EXPECT_FALSE(out.changed);
    EXPECT_FALSE(out.saveSettings);
}

TEST(DisplayModeSetup, DesktopSettingsChangeNothing)
{
    ScriptedDisplay display({1280, 720, 24}, true);
    SaverSettings s = Stored(800, 600, 24, 1);
    const DisplayModeOutcome out = ApplyConfiguredDisplayMode(s, display, kClient);
    EXPECT_TRUE(display.requests.empty());
    EXPECT_FALSE(out.changed);
    EXPECT_EQ(s.XResolution, 800);
    EXPECT_EQ(s.YResolution, 600);
}

TEST(DisplayModeSetup, StoredModeIsRequested)
{
    ScriptedDisplay display({1280, 720, 24}, true);
    SaverSettings s = Stored(800, 600, 24, 0);
    const DisplayModeOutcome out = ApplyConfiguredDisplayMode(s, display, kClient);
    ASSERT_EQ(display.requests.size(), 1u);
    EXPECT_EQ(display.requests[0], (DisplayMode {800, 600, 24}));
    EXPECT_TRUE(out.changed);
    EXPECT_FALSE(out.saveSettings);
    EXPECT_EQ(s.CurrentVideomode, 0);
}

TEST(DisplayModeSetup, ZeroWidthOrHeightTakesTheDesktopSize)
{
    for (const auto& [w, h] : {std::pair {0, 600}, std::pair {800, 0}}) {
        ScriptedDisplay display({1280, 720, 24}, true);
        SaverSettings s = Stored(w, h, 16, 0);
        ApplyConfiguredDisplayMode(s, display, kClient);
        ASSERT_EQ(display.requests.size(), 1u);
        EXPECT_EQ(display.requests[0], (DisplayMode {1280, 720, 16}));
    }
}

TEST(DisplayModeSetup, ZeroDepthTakesTheDesktopDepth)
{
    ScriptedDisplay display({1280, 720, 24}, true);
    SaverSettings s = Stored(1024, 768, 0, 0);
    ApplyConfiguredDisplayMode(s, display, kClient);
    ASSERT_EQ(display.requests.size(), 1u);
    EXPECT_EQ(display.requests[0], (DisplayMode {1024, 768, 24}));
}

TEST(DisplayModeSetup, RefusedChangeFallsBackToTheDesktopAndAsksToSave)
{
    ScriptedDisplay display({1280, 720, 24}, false);
    SaverSettings s = Stored(1024, 768, 16, 0);
    const DisplayModeOutcome out = ApplyConfiguredDisplayMode(s, display, kClient);
    EXPECT_EQ(display.requests.size(), 1u);
    EXPECT_FALSE(out.changed);
    EXPECT_TRUE(out.saveSettings);
    EXPECT_EQ(s.CurrentVideomode, 1);
    EXPECT_EQ(s.XResolution, kClient.width());
    EXPECT_EQ(s.YResolution, kClient.height());
    EXPECT_EQ(s.ColorDepth, 16);
}

TEST(DisplayModeSetup, OtherFieldsAreLeftAlone)
{
    ScriptedDisplay display({1280, 720, 24}, false);
    SaverSettings s = Stored(1024, 768, 16, 0);
    s.DemoMode = 1;
    s.AnimationSpeed = 77;
    ApplyConfiguredDisplayMode(s, display, kClient);
    EXPECT_EQ(s.DemoMode, 1u);
    EXPECT_EQ(s.AnimationSpeed, 77);
    EXPECT_EQ(display.restores, 0);
}

} // namespace
} // namespace velmora
