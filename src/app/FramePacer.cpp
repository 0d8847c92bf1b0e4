#include "app/FramePacer.h"

#include <cstdlib>

#include "app/FrameRateProbe.h"

#include <utility>

namespace velmora {

FramePacer::FramePacer(Clock clock, std::chrono::nanoseconds period)
    : clock_(std::move(clock))
    , period_(period > std::chrono::nanoseconds::zero() ? period : kPeriod)
{
    Start();
}

void FramePacer::Start()
{
    start_ = clock_();
    nextSlot_ = 0;
    missed_ = 0;
}

std::chrono::nanoseconds FramePacer::TimeUntilDue() const
{
    // Deadlines are multiples of the period from the start, so they never
    // drift, whatever the frames cost.
    const std::chrono::nanoseconds due = start_ + period_ * nextSlot_;
    const std::chrono::nanoseconds now = clock_();
    return now >= due ? std::chrono::nanoseconds::zero() : due - now;
}

void FramePacer::FrameTaken()
{
    const std::chrono::nanoseconds elapsed = clock_() - start_;
    // The slot this moment lies in; a frame taken early (before its slot)
    // still takes the next one.
    int64_t current = elapsed.count() < 0 ? 0 : elapsed / period_;
    if (current < nextSlot_)
        current = nextSlot_;
    missed_ += static_cast<uint64_t>(current - nextSlot_);
    nextSlot_ = current + 1;
}

FramePacer::Clock DesktopFrameClock()
{
    for (const char* variable :
        {FrameRateProbe::kVariable, BenchClock::kTimeVariable, BenchClock::kHoldVariable}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return {};
    }
    return &SteadyNow;
}

std::chrono::nanoseconds SteadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace velmora
