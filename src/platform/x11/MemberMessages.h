#pragma once
// The commands a collection dialog's host page forwards to the settings page
// of another member embedded in it (started with "-1:<hex window id>"), and
// the acknowledgement that tells the host the page has handled them.
//
// Protocol (X11 ClientMessage events, format 32):
//
//   command   host -> member page window (the first child of the host page's
//             window), message type "_KESTROVA3D_MEMBER_COMMAND":
//             l[0] command number (16 close, 1027 Restore Defaults, 1028 Preview,
//                  1029 reserved: acknowledged without effect)
//             l[1] reply window (0: no acknowledgement wanted)
//             l[2] serial chosen by the sender
//   ack       member -> reply window, message type "_KESTROVA3D_MEMBER_DONE",
//             sent after the command has been carried out (for close: after
//             the page has stored its settings, just before it goes away):
//             l[0] command number, l[1] serial, l[2] result (0),
//             l[3] the member page window
//
// Both are sent with XSendEvent, propagate False and an empty event mask, so
// they reach the client that created the target window. The host waits for
// the ack a bounded time; a member that has gone away ends the wait at once.

#include <cstdint>
#include <string_view>

struct _XDisplay;
using Display = _XDisplay;

namespace velmora::platform {

inline constexpr std::string_view kMemberCommandAtom = "_KESTROVA3D_MEMBER_COMMAND";
inline constexpr std::string_view kMemberDoneAtom = "_KESTROVA3D_MEMBER_DONE";

enum class MemberCommand : uint32_t {
    Close = 16, // the window-close request
    RestoreDefaults = 1027, // the user-message base + 3
    Preview = 1028, // the user-message base + 4
    Reserved = 1029, // the user-message base + 5: acknowledged, nothing done
};

// How long a host waits for a member to handle a command unless told
// otherwise: Preview stores settings and starts a program, which is quick,
// but a loaded machine should not make the host give up early.
inline constexpr int kMemberReplyTimeoutMs = 5000;

struct MemberAtoms {
    unsigned long command = 0;
    unsigned long done = 0;
};

// Atoms are the server's, so they hold for every connection to it.
MemberAtoms InternMemberAtoms(Display* display);

struct MemberMessage {
    MemberCommand command = MemberCommand::Close;
    unsigned long replyWindow = 0;
    uint32_t serial = 0;
};

// Reads a command from a ClientMessage event as it came over the wire (the
// 32 bytes that xcb hands a toolkit's native event filter). False for every
// other event, other message types and unknown command numbers.
bool DecodeMemberMessage(const void* wireEvent, const MemberAtoms& atoms, MemberMessage& message);
// Reads a command sent to `pageWindow` from a native event as a toolkit's
// event filter receives it: the toolkit's name for the event's type, and the
// event. False for every other type, window or event.
bool ReadMemberCommand(std::string_view eventType, const void* event, unsigned long pageWindow,
    const MemberAtoms& atoms, MemberMessage& message);
// The same from a ClientMessage's fields (as Xlib holds them).
bool DecodeMemberMessage(unsigned long messageType, int format, const long data[5], const MemberAtoms& atoms,
    MemberMessage& message);

// Tells the sender that `message` has been handled by `pageWindow`; does
// nothing when no reply window was given. False when it could not be sent.
bool AcknowledgeMemberMessage(
    Display* display, const MemberAtoms& atoms, const MemberMessage& message, unsigned long pageWindow);

// The host side: sends commands over a connection of its own and waits for
// their acknowledgement, so it never takes events from a toolkit.
class MemberMessenger {
public:
    enum class Result {
        Handled, // the member acknowledged the command
        NoMember, // no page window (no child, or not reachable)
        MemberGone, // the page window went away before acknowledging
        TimedOut, // no acknowledgement within the time given
        NoConnection, // no X server
    };

    MemberMessenger() = default;
    ~MemberMessenger();
    MemberMessenger(const MemberMessenger&) = delete;
    MemberMessenger& operator=(const MemberMessenger&) = delete;

    // Connects to $DISPLAY and makes the reply window. False without a server.
    bool Open();

    // Sends `command` to `pageWindow` and waits at most `timeoutMs` for the
    // acknowledgement.
    Result Send(unsigned long pageWindow, MemberCommand command, int timeoutMs = kMemberReplyTimeoutMs);
    // Sends to the member page embedded in `hostWindow` (its first child).
    Result SendToHosted(
        unsigned long hostWindow, MemberCommand command, int timeoutMs = kMemberReplyTimeoutMs);

    // The first child of `hostWindow` (bottom of the stacking order), 0 when
    // it has none or does not exist.
    unsigned long FirstChild(unsigned long hostWindow) const;

private:
    Display* display_ = nullptr;
    unsigned long replyWindow_ = 0;
    MemberAtoms atoms_;
    uint32_t serial_ = 0;
};

} // namespace velmora::platform
