// Choosing the display mode of a run, against a display that agrees or
// refuses.

#include <gtest/gtest.h>

#include <ostream>
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

// The four stored values the choice reads and may rewrite.
struct ModeRecord {
    int32_t width, height, depth, videomode;
    friend bool operator==(const ModeRecord&, const ModeRecord&) = default;
};

struct SetupCase {
    const char* name;
    ModeRecord stored;
    bool accept; // the display's answer to a change
    std::vector<DisplayMode> requests;
    bool changed;
    bool saveSettings;
    ModeRecord after;
};

void PrintTo(const SetupCase& c, std::ostream* out)
{
    *out << c.name;
}

const PixelSize kClient {1280, 690};
const DisplayMode kDesktop {1280, 720, 24};

class DisplayModeSetupTest : public ::testing::TestWithParam<SetupCase> { };

TEST_P(DisplayModeSetupTest, RequestsTheStoredModeAndRewritesOnlyWhatItMust)
{
    const SetupCase& c = GetParam();
    ScriptedDisplay display(kDesktop, c.accept);
    SaverSettings s;
    s.XResolution = c.stored.width;
    s.YResolution = c.stored.height;
    s.ColorDepth = c.stored.depth;
    s.CurrentVideomode = c.stored.videomode;
    s.DemoMode = 1;
    s.AnimationSpeed = 77;
    const DisplayModeOutcome out = ApplyConfiguredDisplayMode(s, display, kClient);
    EXPECT_EQ(display.requests, c.requests);
    EXPECT_EQ(out.changed, c.changed);
    EXPECT_EQ(out.saveSettings, c.saveSettings);
    EXPECT_EQ((ModeRecord {s.XResolution, s.YResolution, s.ColorDepth, s.CurrentVideomode}), c.after);
    // Everything else is left alone, and restoring is the caller's business.
    EXPECT_EQ(s.DemoMode, 1u);
    EXPECT_EQ(s.AnimationSpeed, 77);
    EXPECT_EQ(display.restores, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, DisplayModeSetupTest,
    ::testing::Values(SetupCase {"StoredModeEqualToDesktopChangesNothing", {1280, 720, 24, 0}, true, {},
                          false, false, {1280, 720, 24, 1}},
        SetupCase {
            "DesktopSettingsChangeNothing", {800, 600, 24, 1}, true, {}, false, false, {800, 600, 24, 1}},
        SetupCase {"StoredModeIsRequested", {800, 600, 24, 0}, true, {{800, 600, 24}}, true, false,
            {800, 600, 24, 0}},
        SetupCase {"ZeroWidthTakesTheDesktopSize", {0, 600, 16, 0}, true, {{1280, 720, 16}}, true, false,
            {1280, 720, 16, 0}},
        SetupCase {"ZeroHeightTakesTheDesktopSize", {800, 0, 16, 0}, true, {{1280, 720, 16}}, true, false,
            {1280, 720, 16, 0}},
        SetupCase {"ZeroDepthTakesTheDesktopDepth", {1024, 768, 0, 0}, true, {{1024, 768, 24}}, true, false,
            {1024, 768, 24, 0}},
        // The full-screen client area is stored, so the next run asks no more.
        SetupCase {"RefusedChangeFallsBackToTheDesktopAndAsksToSave", {1024, 768, 16, 0}, false,
            {{1024, 768, 16}}, false, true, {1280, 690, 16, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora
