#include "platform/x11/X11ScreenSaver.h"

#include <X11/Xlib.h>

#include <X11/extensions/scrnsaver.h>

namespace velmora::platform {

bool SetScreenSaverRunning(Display* display, bool running)
{
    if (!display)
        return false;
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase))
        return false;
    // Suspension counts per client, so one call each way keeps them paired.
    XScreenSaverSuspend(display, running ? True : False);
    if (running)
        XResetScreenSaver(display);
    XFlush(display);
    return true;
}

} // namespace velmora::platform
