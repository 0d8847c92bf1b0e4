#pragma once
// Frame-rate measurement of the window's own loop, for benchmarks: with
// VELMORA3D_BENCH_FRAMES=N in the environment, the window draws N frames after
// the first, prints how long they took and closes.

#include <QSize>

#include <cstdint>
#include <functional>
#include <optional>

namespace velmora {

class FrameRateProbe {
public:
    static constexpr const char* kVariable = "VELMORA3D_BENCH_FRAMES";
    static constexpr unsigned long kMaxFrames = 1000000;

    // N from the variable, or nothing when it is unset or not 2..kMaxFrames.
    static std::optional<uint32_t> FramesFromEnvironment();

    // The window's frame hook for N frames, or an empty function when the
    // variable asks for none.
    static std::function<bool(uint32_t, QSize)> HookFromEnvironment(std::function<int64_t()> tickCountMs);

    FrameRateProbe(uint32_t frames, std::function<int64_t()> tickCountMs);
    // After each drawn frame; true once the measured frames are done (the
    // figures are printed then).
    bool OnFrame(uint32_t framesDrawn, QSize client);

private:
    uint32_t frames_;
    std::function<int64_t()> tickCountMs_;
    int64_t startMs_ = 0;
};

} // namespace velmora
