#pragma once
// Which user input ends a full-screen run. Kept apart from the windows (Qt
// and Win32) so the rules can be checked without a display.

#include <cstdint>

#include "app/PixelGeometry.h"

namespace velmora {

// A move further than this from the reference point, on either axis, ends the
// run; smaller jitter (a table knocked) does not.
inline constexpr int kMouseMoveTolerance = 10;

// Distance test from the first position seen. The reference is taken on the
// first move and again on every move while the run is busy with its own
// message box; otherwise it stays where it was.
class MouseMoveWatch {
public:
    // True when this move ends the run.
    bool OnMove(PixelPoint position, bool busy);
    bool HasReference() const { return hasReference_; }
    PixelPoint Reference() const { return reference_; }

private:
    PixelPoint reference_;
    bool hasReference_ = false;
};

// Frames 6 to 15 taking more than three seconds mean the machine cannot keep
// up. The test is made only when the counter is 15, so it warns once a run.
class SlowMachineWatch {
public:
    static constexpr uint32_t kStartFrame = 5;
    static constexpr uint32_t kCheckFrame = 15;
    static constexpr int64_t kLimitMs = 3000;

    // Called before each drawn frame with the frames drawn so far; true when
    // the warning is due now.
    bool OnFrame(uint32_t framesDrawn, int64_t nowMs);

private:
    int64_t startMs_ = 0;
};

} // namespace velmora
