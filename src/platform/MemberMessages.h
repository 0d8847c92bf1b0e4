#pragma once
// The commands a collection dialog's host page forwards to the settings page
// of another member embedded in it (started with "-1:<hex window id>"), and
// the acknowledgement that tells the host the page has handled them. The
// host sends over a connection of its own and waits a bounded time for the
// acknowledgement; a member that has gone away ends the wait at once. The
// messages themselves are the display system's (platform/x11/X11MemberMessages.h).

#include <cstdint>
#include <string_view>

namespace velmora::platform {

struct DisplayConnection;

inline constexpr std::string_view kMemberCommandAtom = "_KESTROVA3D_MEMBER_COMMAND";
inline constexpr std::string_view kMemberDoneAtom = "_KESTROVA3D_MEMBER_DONE";
// The keyboard focus and activation handshake of the embedding: the XEmbed
// messages, which toolkits know on the embedded side.
inline constexpr std::string_view kEmbedAtom = "_XEMBED";

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
    unsigned long embed = 0;
};

// The XEmbed messages the host and the page exchange for the keyboard focus.
enum class EmbedMessage : uint32_t {
    EmbeddedNotify = 0, // host -> page: data1 the host window, data2 the protocol version
    WindowActivate = 1, // host -> page: the host's top-level window became active
    WindowDeactivate = 2, // ... or inactive
    RequestFocus = 3, // page -> host: the page was clicked and wants the keyboard
    // XEMBED_FOCUS_IN and _OUT (named apart from Xlib's event macros):
    FocusEnter = 4, // host -> page: the keyboard is the page's; detail EmbedFocus
    FocusLeave = 5, // host -> page: the keyboard went elsewhere
    FocusNext = 6, // page -> host: Tab left the page's last control
    FocusPrev = 7, // page -> host: Shift+Tab left its first control
};
// Where a page puts its focus on FocusEnter.
enum class EmbedFocus : uint32_t {
    Current = 0, // where it was
    First = 1, // its first control (the keyboard came with Tab)
    Last = 2, // its last control (with Shift+Tab)
};
inline constexpr uint32_t kEmbedProtocolVersion = 0;

struct EmbedEvent {
    EmbedMessage message = EmbedMessage::EmbeddedNotify;
    uint32_t detail = 0;
    unsigned long time = 0;
};

// Reads an XEmbed message sent to `window` from a native event as a
// toolkit's event filter receives it; false for everything else.
bool ReadEmbedMessage(std::string_view eventType, const void* event, unsigned long window,
    const MemberAtoms& atoms, EmbedEvent& message);
// The page side: sends `message` to the host window `host`. False when it
// could not be sent (the host has gone).
bool SendEmbedMessage(DisplayConnection* connection, const MemberAtoms& atoms, unsigned long host,
    EmbedMessage message, uint32_t detail = 0);

// The protocol's names as the server knows them; they hold for every
// connection to it.
MemberAtoms InternMemberAtoms(DisplayConnection* connection);

struct MemberMessage {
    MemberCommand command = MemberCommand::Close;
    unsigned long replyWindow = 0;
    uint32_t serial = 0;
};

// Reads a command sent to `pageWindow` from a native event as a toolkit's
// event filter receives it: the toolkit's name for the event's type, and the
// event. False for every other type, window or event.
bool ReadMemberCommand(std::string_view eventType, const void* event, unsigned long pageWindow,
    const MemberAtoms& atoms, MemberMessage& message);
// Tells the sender that `message` has been handled by `pageWindow`; does
// nothing when no reply window was given. False when it could not be sent.
bool AcknowledgeMemberMessage(DisplayConnection* connection, const MemberAtoms& atoms,
    const MemberMessage& message, unsigned long pageWindow);

// The host side: sends commands over a connection of its own and waits for
// their acknowledgement, so it never takes events from a toolkit.
class MemberMessenger {
public:
    enum class Result {
        Handled, // the member acknowledged the command
        NoMember, // no page window (no child, or not reachable)
        MemberGone, // the page window went away before acknowledging
        TimedOut, // no acknowledgement within the time given
        NoConnection, // no display server
    };

    MemberMessenger() = default;
    ~MemberMessenger();
    MemberMessenger(const MemberMessenger&) = delete;
    MemberMessenger& operator=(const MemberMessenger&) = delete;

    // Connects to the display and makes the reply window. False without a
    // display server.
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
    const MemberAtoms& Atoms() const { return atoms_; }

    // The host side of the focus handshake: sends an XEmbed message to the
    // page window (`time` is the event's, 0 for none). False when the page
    // is gone or there is no display.
    bool SendEmbed(unsigned long pageWindow, EmbedMessage message, uint32_t detail = 0,
        unsigned long data1 = 0, unsigned long data2 = 0, unsigned long time = 0);
    // Hands a key event that reached the host to the page window, as the
    // keyboard itself would have: X keycode, modifier state and time.
    bool ForwardKey(
        unsigned long pageWindow, bool press, unsigned int keycode, unsigned int state, unsigned long time);

private:
    DisplayConnection* connection_ = nullptr;
    unsigned long replyWindow_ = 0;
    MemberAtoms atoms_;
    uint32_t serial_ = 0;
};

} // namespace velmora::platform
