#include "platform/x11/X11ErrorTrap.h"

namespace velmora::platform::x11 {

namespace {

// Traps nest only on one thread: the program's one user-interface thread.
thread_local Display* trapped = nullptr;
thread_local bool failed = false;
thread_local XErrorHandler outer = nullptr;

int Record(Display* display, XErrorEvent* event)
{
    if (display == trapped) {
        failed = true;
        return 0;
    }
    return outer ? outer(display, event) : 0;
}

} // namespace

ErrorTrap::ErrorTrap(Display* display)
    : display_(display)
{
    XSync(display_, False);
    previous_ = XSetErrorHandler(&Record);
    outer = previous_;
    trapped = display_;
    failed = false;
}

ErrorTrap::~ErrorTrap()
{
    XSync(display_, False);
    XSetErrorHandler(previous_);
    trapped = nullptr;
    outer = nullptr;
}

bool ErrorTrap::Failed()
{
    XSync(display_, False);
    return failed;
}

} // namespace velmora::platform::x11
