#pragma once
// The frame loop's timer for the windows that draw the tour. Paced, it asks
// for a frame once per slot of a FramePacer (64 a second) and lets the event
// loop sleep in between; unpaced (benchmarks), it asks on every pass of the
// event loop, as a zero-interval timer does.

#include <QObject>
#include <QTimer>

#include <optional>

#include "app/FramePacer.h"

namespace velmora {

class FrameTimer final : public QObject {
    Q_OBJECT
public:
    // An empty `clock` makes the timer unpaced.
    explicit FrameTimer(FramePacer::Clock clock, QObject* parent = nullptr);

    // Starts (again) with a frame due at once; a pause is never made up.
    void Start();
    void Stop();
    bool IsActive() const { return active_; }
    bool IsPaced() const { return pacer_.has_value(); }

Q_SIGNALS:
    // A frame is due: draw it now.
    void FrameDue();

private:
    void OnTimeout();
    // Arms the timer for the next slot (at once when it is due).
    void ArmForNextFrame();

    std::optional<FramePacer> pacer_;
    QTimer timer_;
    bool active_ = false;
};

} // namespace velmora
