#pragma once
// Frame-rate measurement of the window's own loop, for benchmarks: with
// VELMORA3D_BENCH_FRAMES=N in the environment, the window draws N frames after
// the first, prints how long they took and closes. BenchClock fixes the clock
// for such runs.

#include <cstdint>
#include <functional>
#include <optional>

#include "app/PixelGeometry.h"

namespace velmora {

class FrameRateProbe {
public:
    static constexpr const char* kVariable = "VELMORA3D_BENCH_FRAMES";
    static constexpr unsigned long kMaxFrames = 1000000;

    // N from the variable, or nothing when it is unset or not 2..kMaxFrames.
    static std::optional<uint32_t> FramesFromEnvironment();

    // The window's frame hook for N frames, or an empty function when the
    // variable asks for none.
    static std::function<bool(uint32_t, PixelSize)> HookFromEnvironment(std::function<int64_t()> tickCountMs);

    FrameRateProbe(uint32_t frames, std::function<int64_t()> tickCountMs);
    // After each drawn frame; true once the measured frames are done (the
    // figures are printed then).
    bool OnFrame(uint32_t framesDrawn, PixelSize client);

private:
    uint32_t frames_;
    std::function<int64_t()> tickCountMs_;
    int64_t startMs_ = 0;
};

// The scene clock of a benchmark run, leaving the stored settings alone:
// VELMORA3D_BENCH_TIME=T starts the clock at T instead of the start rule, and
// VELMORA3D_BENCH_HOLD=1 keeps it at its start, so the camera and every body
// stay where they are (a moment such as the Sun in view can be measured for as
// long as needed).
class BenchClock {
public:
    static constexpr const char* kTimeVariable = "VELMORA3D_BENCH_TIME";
    static constexpr const char* kHoldVariable = "VELMORA3D_BENCH_HOLD";
    // Largest start accepted; the tour's own start rule stays below 32768.
    static constexpr double kMaxTime = 1.0e7;

    static BenchClock FromEnvironment();

    BenchClock() = default;
    BenchClock(std::optional<double> start, bool hold);

    // After the scene set its clock by the start rule: the clock to use
    // instead (the rule's value when no start is fixed).
    double Start(double ruleStart);
    // Before each frame: the clock the frame is drawn at.
    double Frame(double current) const { return hold_ ? held_ : current; }

    std::optional<double> FixedStart() const { return start_; }
    bool Holds() const { return hold_; }

private:
    std::optional<double> start_;
    bool hold_ = false;
    double held_ = 0.0;
};

} // namespace velmora
