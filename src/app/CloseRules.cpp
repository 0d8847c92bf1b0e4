#include "app/CloseRules.h"

#include <cstdlib>

namespace velmora {

bool MouseMoveWatch::OnMove(PixelPoint position, bool busy)
{
    if (busy || !hasReference_) {
        reference_ = position;
        hasReference_ = true;
    }
    return std::abs(position.x - reference_.x) > kMouseMoveTolerance
        || std::abs(position.y - reference_.y) > kMouseMoveTolerance;
}

bool SlowMachineWatch::OnFrame(uint32_t framesDrawn, int64_t nowMs)
{
    if (framesDrawn == kStartFrame)
        startMs_ = nowMs;
    return framesDrawn == kCheckFrame && nowMs - startMs_ > kLimitMs;
}

} // namespace velmora
