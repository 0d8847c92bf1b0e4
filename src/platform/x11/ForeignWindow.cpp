#include "platform/x11/ForeignWindow.h"

#include <X11/Xlib.h>

#include "platform/x11/X11ErrorTrap.h"

namespace velmora::platform {

ForeignWindowWatch::~ForeignWindowWatch()
{
    if (display_)
        XCloseDisplay(display_);
}

bool ForeignWindowWatch::Open(unsigned long window)
{
    if (display_ || window == 0)
        return false;
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        return false;
    window_ = window;
    XWindowAttributes attributes {};
    bool ok;
    {
        // Selected before the size is read, so no change after the read is missed.
        x11::ErrorTrap trap(display_);
        XSelectInput(display_, window, StructureNotifyMask);
        ok = XGetWindowAttributes(display_, window, &attributes) != 0 && !trap.Failed();
    }
    if (!ok) {
        XCloseDisplay(display_);
        display_ = nullptr;
        window_ = 0;
        return false;
    }
    width_ = attributes.width;
    height_ = attributes.height;
    return true;
}

ForeignWindowWatch::Changes ForeignWindowWatch::Poll()
{
    Changes changes;
    if (!display_)
        return changes;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
            gone_ = true;
            changes.gone = true;
        } else if (event.type == ConfigureNotify && event.xconfigure.window == window_) {
            if (event.xconfigure.width != width_ || event.xconfigure.height != height_) {
                width_ = event.xconfigure.width;
                height_ = event.xconfigure.height;
                changes.resized = true;
            }
        }
    }
    return changes;
}

int ForeignWindowWatch::ConnectionFd() const
{
    return display_ ? ConnectionNumber(display_) : -1;
}

bool IsLiveWindow(unsigned long window)
{
    if (window == 0)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    bool live;
    {
        x11::ErrorTrap trap(display);
        XWindowAttributes attributes {};
        live = XGetWindowAttributes(display, window, &attributes) != 0 && !trap.Failed();
    }
    XCloseDisplay(display);
    return live;
}

} // namespace velmora::platform
