// The frame loop's schedule on a clock of the test's own: 64 frames a second
// on a fixed grid whatever a frame costs below the period, the Windows
// timer's coalescing when frames cost more, and no burst after a stall.

#include "app/FramePacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

namespace velmora {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;

constexpr nanoseconds kPeriod = FramePacer::kPeriod;

class FramePacerTest : public ::testing::Test {
protected:
    nanoseconds now_ {123'456'789}; // any start will do
    FramePacer pacer_ {[this] { return now_; }};

    // The loop as the windows run it: wait for the deadline, draw a frame
    // that costs `cost`, and so on for `span` of clock time. Returns the
    // frames drawn.
    int64_t Run(nanoseconds cost, nanoseconds span)
    {
        const nanoseconds end = now_ + span;
        int64_t frames = 0;
        for (;;) {
            now_ += pacer_.TimeUntilDue();
            if (now_ >= end)
                return frames;
            pacer_.FrameTaken();
            ++frames;
            now_ += cost;
        }
    }
};

TEST_F(FramePacerTest, FirstFrameAtOnceThenOnePerPeriod)
{
    EXPECT_EQ(kPeriod, 15'625'000ns);
    EXPECT_TRUE(pacer_.FrameDue());
    pacer_.FrameTaken();
    EXPECT_EQ(pacer_.TimeUntilDue(), kPeriod);
    now_ += kPeriod - 1ns;
    EXPECT_EQ(pacer_.TimeUntilDue(), 1ns);
    EXPECT_FALSE(pacer_.FrameDue());
    now_ += 1ns;
    EXPECT_TRUE(pacer_.FrameDue());
    EXPECT_EQ(pacer_.SlotsMissed(), 0u);
}

struct CostRow {
    const char* name;
    nanoseconds cost;
    int64_t framesIn10s;
    uint64_t slotsMissed;
};

void PrintTo(const CostRow& row, std::ostream* out)
{
    *out << row.name;
}

class FramePacerCosts : public FramePacerTest, public ::testing::WithParamInterface<CostRow> { };

// A schedule of deadlines, not a wait after each frame: below the period
// the frame's cost changes nothing (a wait after the frame would give 390
// frames at 10 ms); above it the frames follow each other, one per missed
// slot at most.
TEST_P(FramePacerCosts, FramesInTenSecondsDependOnlyOnWhetherTheyFit)
{
    const CostRow& row = GetParam();
    const int64_t frames = Run(row.cost, 10s);
    EXPECT_EQ(frames, row.framesIn10s);
    // Every slot up to the last frame's had its frame or was missed.
    EXPECT_EQ(pacer_.SlotsMissed(), row.slotsMissed);
}

INSTANTIATE_TEST_SUITE_P(FramePacer, FramePacerCosts,
    ::testing::Values(CostRow {"Free", 0ns, 640, 0}, CostRow {"OneMillisecond", 1ms, 640, 0},
        CostRow {"TenMilliseconds", 10ms, 640, 0}, CostRow {"JustBelowThePeriod", kPeriod - 1ns, 640, 0},
        // The last frame at 9980 ms lies in slot 638: 639 slots, 500 frames.
        CostRow {"TwentyMilliseconds", 20ms, 500, 139},
        // The last at 9960 ms, slot 637: 638 slots, 250 frames.
        CostRow {"FortyMilliseconds", 40ms, 250, 388}),
    [](const ::testing::TestParamInfo<CostRow>& info) { return std::string(info.param.name); });

TEST_F(FramePacerTest, LateWakeUpsKeepTheGrid)
{
    pacer_.FrameTaken();
    // Woken 3 ms late: the next deadline stays on the grid.
    now_ += kPeriod + 3ms;
    pacer_.FrameTaken();
    EXPECT_EQ(pacer_.TimeUntilDue(), kPeriod - 3ms);
    // A frame asked for before its slot still takes the next one.
    pacer_.FrameTaken();
    EXPECT_EQ(pacer_.TimeUntilDue(), 2 * kPeriod - 3ms);
    EXPECT_EQ(pacer_.SlotsMissed(), 0u);
}

TEST_F(FramePacerTest, AStallGivesOneFrameAtOnceAndNoBurst)
{
    pacer_.FrameTaken();
    // One frame of 100 ms: six and a half slots pass.
    now_ += 100ms;
    ASSERT_TRUE(pacer_.FrameDue());
    pacer_.FrameTaken();
    EXPECT_EQ(pacer_.SlotsMissed(), 5u); // slots 1 to 5; this frame takes slot 6
    const nanoseconds wait = pacer_.TimeUntilDue();
    EXPECT_GT(wait, 0ns);
    EXPECT_EQ(wait, 7 * kPeriod - 100ms);
}

TEST_F(FramePacerTest, StartAfterAPauseMakesNothingUp)
{
    pacer_.FrameTaken();
    now_ += 5s; // the warning box was open
    pacer_.Start();
    EXPECT_TRUE(pacer_.FrameDue());
    EXPECT_EQ(Run(10ms, 1s), 64);
    EXPECT_EQ(pacer_.SlotsMissed(), 0u);
}

} // namespace
} // namespace velmora
