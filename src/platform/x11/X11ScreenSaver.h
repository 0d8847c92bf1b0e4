#pragma once
// The desktop's own screen blanking while this program is the screensaver.

struct _XDisplay;
using Display = _XDisplay;

namespace velmora::platform {

// While `running` is true the X server's screen saver and display power
// saving stay off (MIT-SCREEN-SAVER suspension); false gives them back. The
// server ends the suspension by itself if this client dies. Returns false
// when the server lacks the extension, which leaves blanking as it was.
bool SetScreenSaverRunning(Display* display, bool running);

} // namespace velmora::platform
