// The primary display's modes and the screensaver flag, as the system
// reports them.

#include "platform/win32/Win32Display.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace velmora::platform {
namespace {

TEST(Win32Display, TheModeListHoldsTheCurrentMode)
{
    const auto switcher = MakeWin32DisplaySwitcher();
    const DisplayMode current = switcher->Current();
    EXPECT_EQ(current.width, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(current.height, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(current.bitsPerPixel, 0);

    const std::vector<DisplayMode> modes = MakeWin32DisplayModeSource()->EnumerateModes();
    ASSERT_FALSE(modes.empty());
    EXPECT_NE(
        std::find_if(modes.begin(), modes.end(),
            [&](const DisplayMode& m) { return m.width == current.width && m.height == current.height; }),
        modes.end());
    for (const DisplayMode& m : modes) {
        EXPECT_GT(m.width, 0);
        EXPECT_GT(m.height, 0);
        EXPECT_GT(m.bitsPerPixel, 0);
    }
}

TEST(Win32Display, ImpossibleModesAreRefusedAndRestoreIsHarmless)
{
    const auto switcher = MakeWin32DisplaySwitcher();
    const DisplayMode before = switcher->Current();
    for (const DisplayMode& wanted :
        {DisplayMode {0, 0, 0}, DisplayMode {-1, 768, 32}, DisplayMode {123, 45, 7}})
        EXPECT_FALSE(switcher->ChangeTemporarily(wanted)) << wanted.width << "x" << wanted.height;
    switcher->Restore();
    EXPECT_EQ(switcher->Current(), before);
}

} // namespace
} // namespace velmora::platform
