#include "XWindows.h"

#include <chrono>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

namespace {

// Reads a text property of type `type`; false when the window has none.
bool TextProperty(Display* display, Window window, Atom property, Atom type, std::string& text)
{
    Atom actual = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(
            display, window, property, 0, 1024, False, type, &actual, &format, &items, &after, &data)
            != Success
        || data == nullptr)
        return false;
    const bool found = actual == type && format == 8;
    if (found)
        text.assign(reinterpret_cast<const char*>(data), items);
    XFree(data);
    return found;
}

} // namespace

std::string WindowTitle(Display* display, unsigned long window)
{
    std::string title;
    if (TextProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
            XInternAtom(display, "UTF8_STRING", False), title))
        return title;
    TextProperty(display, window, XA_WM_NAME, XA_STRING, title);
    return title;
}

std::string WindowClass(Display* display, unsigned long window)
{
    XClassHint hint {};
    if (!XGetClassHint(display, window, &hint))
        return {};
    const std::string name = hint.res_name ? hint.res_name : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return name;
}

std::vector<unsigned long> TopLevelsNamed(Display* display, const std::string& title)
{
    std::vector<unsigned long> named;
    for (const unsigned long child : ChildWindows(display, DefaultRootWindow(display)))
        if (WindowTitle(display, child) == title)
            named.push_back(child);
    return named;
}

unsigned long ViewableTopLevel(Display* display, const std::string& title)
{
    for (const unsigned long window : TopLevelsNamed(display, title))
        if (IsWindowViewable(display, window))
            return window;
    return 0;
}

std::string SelectionText(Display* display, const std::string& selection, int timeoutMs)
{
    const Atom name = XInternAtom(display, selection.c_str(), False);
    if (XGetSelectionOwner(display, name) == 0)
        return {};
    const Window requestor = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom target = XInternAtom(display, "UTF8_STRING", False);
    const Atom property = XInternAtom(display, "VELMORA_TEST_SELECTION", False);
    XConvertSelection(display, name, target, property, requestor, CurrentTime);
    XFlush(display);
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    XEvent event {};
    for (;;) {
        if (XCheckTypedWindowEvent(display, requestor, SelectionNotify, &event)) {
            if (event.xselection.property != 0)
                TextProperty(display, requestor, property, target, text);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XDestroyWindow(display, requestor);
    XFlush(display);
    return text;
}

} // namespace velmora::test
