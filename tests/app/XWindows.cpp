#include "XWindows.h"

#include <X11/Xlib.h>

namespace velmora::test {

void DisplayCloser::operator()(Display* display) const
{
    XCloseDisplay(display);
}

DisplayConnection OpenDisplay(const std::string& name)
{
    return DisplayConnection(XOpenDisplay(name.empty() ? nullptr : name.c_str()));
}

std::vector<unsigned long> ChildWindows(Display* display, unsigned long window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<unsigned long> list;
    if (XQueryTree(display, window, &root, &parent, &children, &count) && children) {
        list.assign(children, children + count);
        XFree(children);
    }
    return list;
}

bool IsWindowViewable(Display* display, unsigned long window)
{
    XWindowAttributes attributes {};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

void SendCloseRequest(Display* display, unsigned long window)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace velmora::test
