#include "app/FrameRateProbe.h"

#include <gtest/gtest.h>

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
    void TearDown() override { unsetenv(FrameRateProbe::kVariable); }
};

TEST_P(FrameRateProbeEnv, ReadsOnlyASensibleFrameCount)
{
    if (GetParam().value)
        setenv(FrameRateProbe::kVariable, GetParam().value, 1);
    else
        unsetenv(FrameRateProbe::kVariable);
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
        EXPECT_FALSE(probe.OnFrame(frame, QSize(64, 48))) << frame;
    }
    EXPECT_TRUE(probe.OnFrame(4, QSize(64, 48)));
    EXPECT_FALSE(probe.OnFrame(5, QSize(64, 48)));
}

} // namespace
} // namespace velmora
