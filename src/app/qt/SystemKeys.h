#pragma once
// Keys the desktop reserves for its own commands (Alt combinations, F10, a
// lone Alt), as Qt reports them. They never end the run, so Alt+F4 cannot
// close the screensaver behind the user's back; every other key does.

#include <Qt>

namespace velmora {

bool IsSystemKey(int key, Qt::KeyboardModifiers modifiers);

} // namespace velmora
