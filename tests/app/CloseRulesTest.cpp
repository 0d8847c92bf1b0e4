// The input rules that end a run, without a display.

#include <gtest/gtest.h>

#include "app/CloseRules.h"

namespace velmora {
namespace {

TEST(MouseMoveWatch, FirstMoveSetsTheReference)
{
    MouseMoveWatch watch;
    EXPECT_FALSE(watch.HasReference());
    EXPECT_FALSE(watch.OnMove({400, 300}, false));
    EXPECT_TRUE(watch.HasReference());
    EXPECT_EQ(watch.Reference(), (PixelPoint {400, 300}));
}

TEST(MouseMoveWatch, TenPixelsOnEitherAxisStayElevenClose)
{
    for (const PixelPoint delta : {PixelPoint {10, 0}, {-10, 0}, {0, 10}, {0, -10}, {10, -10}}) {
        MouseMoveWatch watch;
        watch.OnMove({100, 100}, false);
        EXPECT_FALSE(watch.OnMove({100 + delta.x, 100 + delta.y}, false)) << delta.x << "," << delta.y;
    }
    for (const PixelPoint delta : {PixelPoint {11, 0}, {-11, 0}, {0, 11}, {0, -11}, {11, 11}}) {
        MouseMoveWatch watch;
        watch.OnMove({100, 100}, false);
        EXPECT_TRUE(watch.OnMove({100 + delta.x, 100 + delta.y}, false)) << delta.x << "," << delta.y;
    }
}

TEST(MouseMoveWatch, ReferenceDoesNotFollowSmallMoves)
{
    // Creeping by small steps must still end the run once the total passes 10.
    MouseMoveWatch watch;
    watch.OnMove({0, 0}, false);
    for (int x = 2; x <= 10; x += 2)
        EXPECT_FALSE(watch.OnMove({x, 0}, false));
    EXPECT_TRUE(watch.OnMove({12, 0}, false));
    EXPECT_EQ(watch.Reference(), (PixelPoint {0, 0}));
}

TEST(MouseMoveWatch, BusyMovesRetakeTheReference)
{
    MouseMoveWatch watch;
    watch.OnMove({0, 0}, false);
    EXPECT_FALSE(watch.OnMove({500, 500}, true));
    EXPECT_EQ(watch.Reference(), (PixelPoint {500, 500}));
    EXPECT_FALSE(watch.OnMove({505, 495}, false));
    EXPECT_TRUE(watch.OnMove({489, 500}, false));
}

TEST(SlowMachineWatch, WarnsWhenFramesSixToFifteenTakeMoreThanThreeSeconds)
{
    SlowMachineWatch watch;
    bool warned = false;
    for (uint32_t frame = 0; frame < 40; ++frame) {
        const bool warn = watch.OnFrame(frame, 1000 + int64_t(frame) * 301);
        EXPECT_EQ(warn, frame == 15) << frame;
        warned |= warn;
    }
    EXPECT_TRUE(warned);
}

TEST(SlowMachineWatch, ExactlyThreeSecondsIsFastEnough)
{
    SlowMachineWatch watch;
    for (uint32_t frame = 0; frame < 40; ++frame)
        EXPECT_FALSE(watch.OnFrame(frame, int64_t(frame) * 300)) << frame;
}

TEST(SlowMachineWatch, OnlyFramesFiveToFifteenCount)
{
    // A slow start (frames 0 to 5) and a slow middle later do not count.
    SlowMachineWatch watch;
    EXPECT_FALSE(watch.OnFrame(0, 0));
    EXPECT_FALSE(watch.OnFrame(5, 60000));
    EXPECT_FALSE(watch.OnFrame(15, 62000));
    EXPECT_FALSE(watch.OnFrame(16, 900000));
    EXPECT_FALSE(watch.OnFrame(25, 9000000));
}

} // namespace
} // namespace velmora
