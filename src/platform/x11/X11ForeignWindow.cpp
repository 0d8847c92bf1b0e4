#include "platform/ForeignWindow.h"

#include <X11/Xlib.h>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ErrorTrap.h"

namespace velmora::platform {

ForeignWindowWatch::~ForeignWindowWatch()
{
    if (connection_)
        XCloseDisplay(XlibDisplay(connection_));
}

bool ForeignWindowWatch::Open(unsigned long window)
{
    if (connection_ || window == 0)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XWindowAttributes attributes {};
    bool ok;
    {
        // Selected before the size is read, so no change after the read is missed.
        x11::ErrorTrap trap(display);
        XSelectInput(display, window, StructureNotifyMask);
        ok = XGetWindowAttributes(display, window, &attributes) != 0 && !trap.Failed();
    }
    if (!ok) {
        XCloseDisplay(display);
        return false;
    }
    connection_ = AsConnection(display);
    window_ = window;
    width_ = attributes.width;
    height_ = attributes.height;
    return true;
}

ForeignWindowWatch::Changes ForeignWindowWatch::Poll()
{
    Changes changes;
    Display* display = XlibDisplay(connection_);
    if (!display)
        return changes;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
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

bool ForeignWindowWatch::HasQueuedEvents() const
{
    // QueuedAlready neither reads nor flushes: cheap enough before every wait.
    return connection_ && XEventsQueued(XlibDisplay(connection_), QueuedAlready) > 0;
}

int ForeignWindowWatch::ConnectionFd() const
{
    return connection_ ? ConnectionNumber(XlibDisplay(connection_)) : -1;
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
