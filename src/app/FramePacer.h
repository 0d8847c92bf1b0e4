#pragma once
// The frame loop's schedule. The loop stands in for a Windows timer of
// interval 0, which fires on the system tick, 64 times a second: the tour
// advances by a fixed step per frame, so that pace is the tour's speed. The
// schedule keeps deadlines on a fixed grid from its start (not a wait after
// each frame, which would drift by the frame's own time), draws at most one
// frame per slot, and, like the timer, never makes up for slots that passed
// while a frame took longer: the next frame then follows at once, and only
// one. No toolkit: the windows feed it the clock and ask it when to draw.

#include <chrono>
#include <cstdint>
#include <functional>

namespace velmora {

class FramePacer {
public:
    using Clock = std::function<std::chrono::nanoseconds()>;
    // The Windows system tick: 1/64 s.
    static constexpr std::chrono::nanoseconds kPeriod {15'625'000};

    // `clock` must not go backwards (a steady clock, or a test's own).
    explicit FramePacer(Clock clock, std::chrono::nanoseconds period = kPeriod);

    // (Re)starts the grid at this moment; the first frame is due at once.
    // Called when the loop starts, and after a pause (the slow-machine
    // warning, a window that was not visible), so nothing is made up.
    void Start();
    // How long until the next frame is due; zero when it is due now.
    std::chrono::nanoseconds TimeUntilDue() const;
    bool FrameDue() const { return TimeUntilDue() == std::chrono::nanoseconds::zero(); }
    // Takes the slot of a frame being drawn now: the next one is due at the
    // first grid point after this moment. Slots that passed without a frame
    // are counted as missed.
    void FrameTaken();

    std::chrono::nanoseconds Period() const { return period_; }
    // Slots since Start that passed without a frame.
    uint64_t SlotsMissed() const { return missed_; }

private:
    Clock clock_;
    std::chrono::nanoseconds period_;
    std::chrono::nanoseconds start_ {};
    // The slot the next frame belongs to, counted from start_.
    int64_t nextSlot_ = 0;
    uint64_t missed_ = 0;
};

// The steady clock, for the windows' schedule.
// The clock the windows pace their frames by: the steady clock, or none for
// a benchmark run (any VELMORA3D_BENCH_* variable of FrameRateProbe and
// BenchClock set), which measures how fast frames can be drawn.
FramePacer::Clock DesktopFrameClock();

std::chrono::nanoseconds SteadyNow();

} // namespace velmora
