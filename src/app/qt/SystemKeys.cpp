#include "app/qt/SystemKeys.h"

namespace velmora {

bool IsSystemKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Alt || key == Qt::Key_F10)
        return true;
    // Ctrl+Alt is how AltGr reaches some layouts; those are ordinary
    // characters, not desktop commands.
    return (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier);
}

} // namespace velmora
