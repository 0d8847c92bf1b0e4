#include "app/qt/FrameTimer.h"

namespace velmora {

FrameTimer::FrameTimer(FramePacer::Clock clock, QObject* parent)
    : QObject(parent)
{
    if (clock)
        pacer_.emplace(std::move(clock));
    // Whole milliseconds are all a timer takes: a coarse one would round
    // the waits by up to 5 %, so the schedule asks for exact ones.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(pacer_.has_value());
    connect(&timer_, &QTimer::timeout, this, &FrameTimer::OnTimeout);
}

void FrameTimer::Start()
{
    active_ = true;
    if (pacer_)
        pacer_->Start();
    ArmForNextFrame();
}

void FrameTimer::Stop()
{
    active_ = false;
    timer_.stop();
}

void FrameTimer::ArmForNextFrame()
{
    if (!pacer_) {
        timer_.start(0);
        return;
    }
    // Rounded up, so the wake-up is never before the deadline; a wake-up a
    // little late only shortens the wait for the next slot.
    const auto wait = pacer_->TimeUntilDue();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait);
    timer_.start(static_cast<int>(ms.count()));
}

void FrameTimer::OnTimeout()
{
    if (!active_)
        return;
    if (pacer_) {
        if (!pacer_->FrameDue()) {
            ArmForNextFrame();
            return;
        }
        pacer_->FrameTaken();
    }
    Q_EMIT FrameDue();
    // The frame may have stopped the timer (closing), or stopped and
    // started it again (the warning box), which armed it already.
    if (active_ && pacer_ && !timer_.isActive())
        ArmForNextFrame();
}

} // namespace velmora
