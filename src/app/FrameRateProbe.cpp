#include "app/FrameRateProbe.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace velmora {

std::optional<uint32_t> FrameRateProbe::FramesFromEnvironment()
{
    const char* text = std::getenv(kVariable);
    if (!text || !*text)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0' || value < 2 || value > kMaxFrames)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::function<bool(uint32_t, PixelSize)> FrameRateProbe::HookFromEnvironment(
    std::function<int64_t()> tickCountMs)
{
    const std::optional<uint32_t> frames = FramesFromEnvironment();
    if (!frames)
        return {};
    auto probe = std::make_shared<FrameRateProbe>(*frames, std::move(tickCountMs));
    return [probe](uint32_t framesDrawn, PixelSize client) { return probe->OnFrame(framesDrawn, client); };
}

FrameRateProbe::FrameRateProbe(uint32_t frames, std::function<int64_t()> tickCountMs)
    : frames_(frames)
    , tickCountMs_(std::move(tickCountMs))
{
}

bool FrameRateProbe::OnFrame(uint32_t framesDrawn, PixelSize client)
{
    // Timed from the end of the first frame, so start-up costs stay out.
    if (framesDrawn == 1) {
        startMs_ = tickCountMs_();
        return false;
    }
    if (framesDrawn != frames_ + 1)
        return false;
    const double ms = static_cast<double>(tickCountMs_() - startMs_);
    std::printf("window %dx%d: %u frames in %.0f ms, %.2f frames/s, %.3f ms/frame\n", client.width,
        client.height, frames_, ms, ms > 0 ? frames_ * 1000.0 / ms : 0.0, ms / frames_);
    std::fflush(stdout);
    return true;
}

BenchClock BenchClock::FromEnvironment()
{
    std::optional<double> start;
    const char* text = std::getenv(kTimeVariable);
    if (text && *text) {
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        // A value that does not parse is ignored rather than read as 0.
        if (*end == '\0' && std::isfinite(value) && value >= 0.0 && value <= kMaxTime)
            start = value;
    }
    const char* hold = std::getenv(kHoldVariable);
    return BenchClock(start, hold && std::strcmp(hold, "1") == 0);
}

BenchClock::BenchClock(std::optional<double> start, bool hold)
    : start_(start)
    , hold_(hold)
{
}

double BenchClock::Start(double ruleStart)
{
    held_ = start_ ? *start_ : ruleStart;
    return held_;
}

} // namespace velmora
