#include "app/FrameRateProbe.h"
#include "app/FramePacer.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"

#include <cstdlib>
#include <optional>

namespace velmora {
namespace {

struct EnvRow {
    const char* value; // nullptr: unset
    std::optional<uint32_t> frames;
};

class FrameRateProbeEnv : public ::testing::TestWithParam<EnvRow> {
protected:
    void TearDown() override { testing::UnsetEnvironment(FrameRateProbe::kVariable); }
};

TEST_P(FrameRateProbeEnv, ReadsOnlyASensibleFrameCount)
{
    if (GetParam().value)
        testing::SetEnvironment(FrameRateProbe::kVariable, GetParam().value);
    else
        testing::UnsetEnvironment(FrameRateProbe::kVariable);
    EXPECT_EQ(FrameRateProbe::FramesFromEnvironment(), GetParam().frames);
    EXPECT_EQ(static_cast<bool>(FrameRateProbe::HookFromEnvironment([] { return int64_t {0}; })),
        GetParam().frames.has_value());
}

INSTANTIATE_TEST_SUITE_P(Values, FrameRateProbeEnv,
    ::testing::Values(EnvRow {nullptr, std::nullopt}, EnvRow {"", std::nullopt}, EnvRow {"1", std::nullopt},
        EnvRow {"2", 2u}, EnvRow {"300", 300u}, EnvRow {"1000000", 1000000u},
        EnvRow {"1000001", std::nullopt}, EnvRow {"12x", std::nullopt}, EnvRow {"-5", std::nullopt}));

// The count starts after the first frame and the run ends after N more.
TEST(FrameRateProbe, EndsTheRunAfterTheMeasuredFrames)
{
    int64_t now = 0;
    FrameRateProbe probe(3, [&now] { return now; });
    for (uint32_t frame = 1; frame <= 3; ++frame) {
        now += 10;
        EXPECT_FALSE(probe.OnFrame(frame, PixelSize {64, 48})) << frame;
    }
    EXPECT_TRUE(probe.OnFrame(4, PixelSize {64, 48}));
    EXPECT_FALSE(probe.OnFrame(5, PixelSize {64, 48}));
}

struct ClockEnvRow {
    const char* time; // nullptr: unset
    const char* hold; // nullptr: unset
    std::optional<double> start;
    bool holds;
};

class BenchClockEnv : public ::testing::TestWithParam<ClockEnvRow> {
protected:
    void TearDown() override
    {
        testing::UnsetEnvironment(BenchClock::kTimeVariable);
        testing::UnsetEnvironment(BenchClock::kHoldVariable);
    }
    static void Set(const char* name, const char* value)
    {
        if (value)
            testing::SetEnvironment(name, value);
        else
            testing::UnsetEnvironment(name);
    }
};

TEST_P(BenchClockEnv, ReadsOnlyASensibleStartAndAnExplicitHold)
{
    Set(BenchClock::kTimeVariable, GetParam().time);
    Set(BenchClock::kHoldVariable, GetParam().hold);
    const BenchClock clock = BenchClock::FromEnvironment();
    EXPECT_EQ(clock.FixedStart(), GetParam().start);
    EXPECT_EQ(clock.Holds(), GetParam().holds);
}

INSTANTIATE_TEST_SUITE_P(Values, BenchClockEnv,
    ::testing::Values(ClockEnvRow {nullptr, nullptr, std::nullopt, false},
        ClockEnvRow {"6180", nullptr, 6180.0, false}, ClockEnvRow {"6180.5", "1", 6180.5, true},
        ClockEnvRow {"0", "0", 0.0, false}, ClockEnvRow {"", "yes", std::nullopt, false},
        ClockEnvRow {"7000x", "1", std::nullopt, true}, ClockEnvRow {"-1", nullptr, std::nullopt, false},
        ClockEnvRow {"nan", nullptr, std::nullopt, false}, ClockEnvRow {"inf", nullptr, std::nullopt, false},
        ClockEnvRow {"1e8", nullptr, std::nullopt, false}));

struct ClockRunRow {
    std::optional<double> start;
    bool hold;
    double ruleStart;
    double expectedStart;
    double afterAStep; // the clock the second frame is drawn at
};

class BenchClockRun : public ::testing::TestWithParam<ClockRunRow> { };

// The scene advances its clock by 0.1 after each frame; the bench clock
// decides what the next frame sees.
TEST_P(BenchClockRun, StartsAndHoldsTheSceneClock)
{
    const ClockRunRow& row = GetParam();
    BenchClock clock(row.start, row.hold);
    double sceneClock = clock.Start(row.ruleStart);
    EXPECT_DOUBLE_EQ(sceneClock, row.expectedStart);
    sceneClock = clock.Frame(sceneClock) + 0.1;
    EXPECT_DOUBLE_EQ(clock.Frame(sceneClock), row.afterAStep);
}

INSTANTIATE_TEST_SUITE_P(Rows, BenchClockRun,
    ::testing::Values(ClockRunRow {std::nullopt, false, 7000.0, 7000.0, 7000.1},
        ClockRunRow {6180.0, false, 7000.0, 6180.0, 6180.1},
        ClockRunRow {6180.0, true, 7000.0, 6180.0, 6180.0},
        ClockRunRow {std::nullopt, true, 123.0, 123.0, 123.0}));

// Benchmark runs measure how fast frames can be drawn, so any of their
// variables leaves the windows unpaced; every other run is paced.
TEST(DesktopFrameClock, PacedUnlessABenchmarkRuns)
{
    const char* variables[]
        = {FrameRateProbe::kVariable, BenchClock::kTimeVariable, BenchClock::kHoldVariable};
    for (const char* variable : variables)
        testing::UnsetEnvironment(variable);
    EXPECT_TRUE(DesktopFrameClock());
    for (const char* variable : variables) {
        testing::SetEnvironment(variable, ""); // set but empty: not a benchmark
        EXPECT_TRUE(DesktopFrameClock()) << variable;
        testing::SetEnvironment(variable, "1");
        EXPECT_FALSE(DesktopFrameClock()) << variable;
        testing::UnsetEnvironment(variable);
    }
}

} // namespace
} // namespace velmora
