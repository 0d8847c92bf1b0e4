#include "app/CloseRules.h"

#include <cstdlib>

namespace velmora {

bool IsSystemKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Alt || key == Qt::Key_F10)
        return true;
    // Ctrl+Alt is how AltGr reaches some layouts; those are ordinary
    // characters, not desktop commands.
    return (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier);
}

bool MouseMoveWatch::OnMove(QPoint position, bool busy)
{
    if (busy || !hasReference_) {
        reference_ = position;
        hasReference_ = true;
    }
    const QPoint delta = position - reference_;
    return std::abs(delta.x()) > kMouseMoveTolerance || std::abs(delta.y()) > kMouseMoveTolerance;
}

bool SlowMachineWatch::OnFrame(uint32_t framesDrawn, int64_t nowMs)
{
    if (framesDrawn == kStartFrame)
        startMs_ = nowMs;
    return framesDrawn == kCheckFrame && nowMs - startMs_ > kLimitMs;
}

} // namespace velmora
