// Display modes and blanking on a private X server of known size.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <X11/Xlib.h>

#include "platform/x11/X11DisplaySettings.h"
#include "platform/x11/X11ScreenSaver.h"
#include "PrivateXServer.h"

namespace velmora::platform {
namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

class X11DisplaySettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server_.Start("1024x768x24"))
            GTEST_SKIP() << "no X server could be started";
        display_.reset(XOpenDisplay(server_.Name().c_str()));
        ASSERT_TRUE(display_);
    }

    test::PrivateXServer server_;
    std::unique_ptr<Display, DisplayCloser> display_;
};

TEST_F(X11DisplaySettingsTest, CurrentIsTheScreenSizeAndDepth)
{
    X11DisplaySettings settings(display_.get());
    EXPECT_EQ(settings.Current(), (DisplayMode {1024, 768, 24}));
}

TEST_F(X11DisplaySettingsTest, EnumerationOffersTheCurrentMode)
{
    X11DisplaySettings settings(display_.get());
    const std::vector<DisplayMode> modes = settings.Enumerate();
    ASSERT_FALSE(modes.empty());
    EXPECT_NE(std::find(modes.begin(), modes.end(), settings.Current()), modes.end());
    for (const DisplayMode& m : modes)
        EXPECT_EQ(m.bitsPerPixel, 24);
}

TEST_F(X11DisplaySettingsTest, ModeNotOfferedIsRefusedAndNothingChanges)
{
    X11DisplaySettings settings(display_.get());
    const std::vector<DisplayMode> modes = settings.Enumerate();
    const DisplayMode odd {1023, 767, 24};
    ASSERT_EQ(std::find(modes.begin(), modes.end(), odd), modes.end());
    EXPECT_FALSE(settings.ChangeTemporarily(odd));
    EXPECT_EQ(settings.Current(), (DisplayMode {1024, 768, 24}));
    settings.Restore();
    EXPECT_EQ(settings.Current(), (DisplayMode {1024, 768, 24}));
}

TEST_F(X11DisplaySettingsTest, OtherDepthIsRefused)
{
    X11DisplaySettings settings(display_.get());
    EXPECT_FALSE(settings.ChangeTemporarily({1024, 768, 16}));
}

TEST_F(X11DisplaySettingsTest, TheCurrentModeIsAcceptedWithoutAChange)
{
    X11DisplaySettings settings(display_.get());
    EXPECT_TRUE(settings.ChangeTemporarily({1024, 768, 24}));
    EXPECT_EQ(settings.Current(), (DisplayMode {1024, 768, 24}));
}

TEST_F(X11DisplaySettingsTest, NoDisplayGivesNothing)
{
    X11DisplaySettings settings(nullptr);
    EXPECT_EQ(settings.Current(), DisplayMode {});
    EXPECT_TRUE(settings.Enumerate().empty());
    EXPECT_FALSE(settings.ChangeTemporarily({1024, 768, 24}));
    settings.Restore();
}

TEST_F(X11DisplaySettingsTest, BlankingIsSuspendedAndGivenBack)
{
    EXPECT_TRUE(SetScreenSaverRunning(display_.get(), true));
    EXPECT_TRUE(SetScreenSaverRunning(display_.get(), false));
    EXPECT_FALSE(SetScreenSaverRunning(nullptr, true));
}

} // namespace
} // namespace velmora::platform
