#include "platform/x11/X11MemberMessages.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include <poll.h>

#include <X11/Xlib.h>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ErrorTrap.h"

namespace velmora::platform {

namespace {

constexpr int kClientMessage = 33; // the core protocol's event code

bool IsKnownCommand(long value)
{
    switch (static_cast<MemberCommand>(value)) {
    case MemberCommand::Close:
    case MemberCommand::RestoreDefaults:
    case MemberCommand::Preview:
    case MemberCommand::Reserved:
        return true;
    }
    return false;
}

} // namespace

MemberAtoms InternMemberAtoms(Display* display)
{
    MemberAtoms atoms;
    atoms.command = XInternAtom(display, std::string(kMemberCommandAtom).c_str(), False);
    atoms.done = XInternAtom(display, std::string(kMemberDoneAtom).c_str(), False);
    atoms.embed = XInternAtom(display, std::string(kEmbedAtom).c_str(), False);
    return atoms;
}

bool DecodeMemberMessage(unsigned long messageType, int format, const long data[5], const MemberAtoms& atoms,
    MemberMessage& message)
{
    if (atoms.command == 0 || messageType != atoms.command || format != 32)
        return false;
    // Format-32 data travel as 32-bit items whatever the size of long.
    const long command = static_cast<long>(static_cast<uint32_t>(data[0]));
    if (command < 0 || !IsKnownCommand(command))
        return false;
    message.command = static_cast<MemberCommand>(command);
    message.replyWindow = static_cast<uint32_t>(data[1]);
    message.serial = static_cast<uint32_t>(data[2]);
    return true;
}

bool DecodeMemberMessage(const void* wireEvent, const MemberAtoms& atoms, MemberMessage& message)
{
    // Wire layout: code (bit 7 set when sent by a client), format, sequence,
    // window, type, then five 32-bit items, in the client's byte order.
    const auto* bytes = static_cast<const unsigned char*>(wireEvent);
    if ((bytes[0] & 0x7f) != kClientMessage)
        return false;
    uint32_t type = 0;
    uint32_t items[5];
    std::memcpy(&type, bytes + 8, 4);
    std::memcpy(items, bytes + 12, sizeof items);
    long data[5];
    for (int i = 0; i < 5; ++i)
        data[i] = static_cast<long>(items[i]);
    return DecodeMemberMessage(type, bytes[1], data, atoms, message);
}

bool ReadMemberCommand(std::string_view eventType, const void* event, unsigned long pageWindow,
    const MemberAtoms& atoms, MemberMessage& message)
{
    // Qt's xcb platform hands over the event as xcb read it off the wire.
    if (eventType != "xcb_generic_event_t" || event == nullptr)
        return false;
    const auto* bytes = static_cast<const unsigned char*>(event);
    if ((bytes[0] & 0x7f) != kClientMessage)
        return false;
    uint32_t window = 0;
    std::memcpy(&window, bytes + 4, 4);
    return window == pageWindow && DecodeMemberMessage(event, atoms, message);
}

bool ReadEmbedMessage(std::string_view eventType, const void* event, unsigned long window,
    const MemberAtoms& atoms, EmbedEvent& message)
{
    if (eventType != "xcb_generic_event_t" || event == nullptr || atoms.embed == 0)
        return false;
    const auto* bytes = static_cast<const unsigned char*>(event);
    if ((bytes[0] & 0x7f) != kClientMessage || bytes[1] != 32)
        return false;
    uint32_t target = 0, type = 0;
    uint32_t items[5];
    std::memcpy(&target, bytes + 4, 4);
    std::memcpy(&type, bytes + 8, 4);
    std::memcpy(items, bytes + 12, sizeof items);
    if (target != window || type != atoms.embed || items[1] > static_cast<uint32_t>(EmbedMessage::FocusPrev))
        return false;
    message.time = items[0];
    message.message = static_cast<EmbedMessage>(items[1]);
    message.detail = items[2];
    return true;
}

namespace {

bool SendEmbed(Display* display, const MemberAtoms& atoms, unsigned long target, EmbedMessage message,
    uint32_t detail, unsigned long data1, unsigned long data2, unsigned long time)
{
    if (!display || target == 0 || atoms.embed == 0)
        return false;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = atoms.embed;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(time);
    event.xclient.data.l[1] = static_cast<long>(message);
    event.xclient.data.l[2] = static_cast<long>(detail);
    event.xclient.data.l[3] = static_cast<long>(data1);
    event.xclient.data.l[4] = static_cast<long>(data2);
    // The other side may be gone at any moment.
    x11::ErrorTrap trap(display);
    const Status sent = XSendEvent(display, target, False, NoEventMask, &event);
    return sent != 0 && !trap.Failed();
}

} // namespace

bool SendEmbedMessage(DisplayConnection* connection, const MemberAtoms& atoms, unsigned long host,
    EmbedMessage message, uint32_t detail)
{
    return SendEmbed(XlibDisplay(connection), atoms, host, message, detail, 0, 0, CurrentTime);
}

bool AcknowledgeMemberMessage(
    Display* display, const MemberAtoms& atoms, const MemberMessage& message, unsigned long pageWindow)
{
    if (message.replyWindow == 0)
        return true;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = message.replyWindow;
    event.xclient.message_type = atoms.done;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(message.command);
    event.xclient.data.l[1] = static_cast<long>(message.serial);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = static_cast<long>(pageWindow);
    // The sender may have given up and gone; that must not end this program.
    x11::ErrorTrap trap(display);
    const Status sent = XSendEvent(display, message.replyWindow, False, NoEventMask, &event);
    return sent != 0 && !trap.Failed();
}

MemberAtoms InternMemberAtoms(DisplayConnection* connection)
{
    return InternMemberAtoms(XlibDisplay(connection));
}

bool AcknowledgeMemberMessage(DisplayConnection* connection, const MemberAtoms& atoms,
    const MemberMessage& message, unsigned long pageWindow)
{
    return AcknowledgeMemberMessage(XlibDisplay(connection), atoms, message, pageWindow);
}

MemberMessenger::~MemberMessenger()
{
    if (connection_)
        XCloseDisplay(XlibDisplay(connection_));
}

bool MemberMessenger::Open()
{
    if (connection_)
        return true;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    connection_ = AsConnection(display);
    atoms_ = InternMemberAtoms(display);
    // Never mapped: it only receives the acknowledgements.
    replyWindow_ = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, CopyFromParent,
        InputOnly, CopyFromParent, 0, nullptr);
    XFlush(display);
    return replyWindow_ != 0;
}

unsigned long MemberMessenger::FirstChild(unsigned long hostWindow) const
{
    Display* const display = XlibDisplay(connection_);
    if (!display || hostWindow == 0)
        return 0;
    x11::ErrorTrap trap(display);
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    unsigned long first = 0;
    if (XQueryTree(display, hostWindow, &root, &parent, &children, &count) != 0 && count > 0)
        first = children[0];
    if (children)
        XFree(children);
    return trap.Failed() ? 0 : first;
}

bool MemberMessenger::SendEmbed(unsigned long pageWindow, EmbedMessage message, uint32_t detail,
    unsigned long data1, unsigned long data2, unsigned long time)
{
    return platform::SendEmbed(
        XlibDisplay(connection_), atoms_, pageWindow, message, detail, data1, data2, time);
}

bool MemberMessenger::ForwardKey(
    unsigned long pageWindow, bool press, unsigned int keycode, unsigned int state, unsigned long time)
{
    Display* const display = XlibDisplay(connection_);
    if (!display || pageWindow == 0)
        return false;
    XEvent event {};
    XKeyEvent& key = event.xkey;
    key.type = press ? KeyPress : KeyRelease;
    key.display = display;
    key.window = pageWindow;
    key.root = DefaultRootWindow(display);
    key.subwindow = None;
    key.time = time;
    key.x = key.y = key.x_root = key.y_root = 1;
    key.state = state;
    key.keycode = keycode;
    key.same_screen = True;
    x11::ErrorTrap trap(display);
    const Status sent = XSendEvent(display, pageWindow, False, NoEventMask, &event);
    return sent != 0 && !trap.Failed();
}

MemberMessenger::Result MemberMessenger::SendToHosted(
    unsigned long hostWindow, MemberCommand command, int timeoutMs)
{
    if (!connection_)
        return Result::NoConnection;
    const unsigned long page = FirstChild(hostWindow);
    return page ? Send(page, command, timeoutMs) : Result::NoMember;
}

MemberMessenger::Result MemberMessenger::Send(unsigned long pageWindow, MemberCommand command, int timeoutMs)
{
    Display* const display = XlibDisplay(connection_);
    if (!display)
        return Result::NoConnection;
    if (pageWindow == 0)
        return Result::NoMember;
    const uint32_t serial = ++serial_ == 0 ? ++serial_ : serial_;
    {
        x11::ErrorTrap trap(display);
        // Watching the page's end, so a member that dies does not cost the full wait.
        XSelectInput(display, pageWindow, StructureNotifyMask);
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.display = display;
        event.xclient.window = pageWindow;
        event.xclient.message_type = atoms_.command;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(command);
        event.xclient.data.l[1] = static_cast<long>(replyWindow_);
        event.xclient.data.l[2] = static_cast<long>(serial);
        XSendEvent(display, pageWindow, False, NoEventMask, &event);
        if (trap.Failed())
            return Result::NoMember;
    }

    Result result = Result::TimedOut;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (bool waiting = true; waiting;) {
        while (waiting && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && event.xclient.window == replyWindow_
                && event.xclient.message_type == atoms_.done
                && static_cast<uint32_t>(event.xclient.data.l[1]) == serial) {
                result = Result::Handled;
                waiting = false;
            } else if (event.type == DestroyNotify && event.xdestroywindow.window == pageWindow) {
                result = Result::MemberGone;
                waiting = false;
            }
        }
        if (!waiting)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd fd {ConnectionNumber(display), POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            break;
    }
    {
        x11::ErrorTrap trap(display);
        XSelectInput(display, pageWindow, NoEventMask);
    }
    return result;
}

} // namespace velmora::platform
