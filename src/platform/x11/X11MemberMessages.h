#pragma once
// The member messages on X11: the commands a collection dialog's host page forwards to the settings page
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
//
// Keyboard focus (XEmbed, message type "_XEMBED", format 32): l[0] time,
// l[1] message, l[2] detail, l[3..4] data. Host -> page: 0 embedded notify
// (l[3] host window, l[4] version 0), 1/2 window (de)activate, 4 focus in
// (l[2] 0 current, 1 first, 2 last), 5 focus out; page -> host window:
// 3 request focus, 6 focus next, 7 focus prev. While it holds the focus the
// host forwards its key events to the page window with XSendEvent.

#include "platform/MemberMessages.h"

struct _XDisplay;
using Display = _XDisplay;

namespace velmora::platform {

// Reads a command from a ClientMessage event as it came over the wire (the
// 32 bytes that xcb hands a toolkit's native event filter). False for every
// other event, other message types and unknown command numbers.
bool DecodeMemberMessage(const void* wireEvent, const MemberAtoms& atoms, MemberMessage& message);
// The same from a ClientMessage's fields (as Xlib holds them).
bool DecodeMemberMessage(unsigned long messageType, int format, const long data[5], const MemberAtoms& atoms,
    MemberMessage& message);

// The page side's calls on an Xlib connection of its own.
MemberAtoms InternMemberAtoms(Display* display);
bool AcknowledgeMemberMessage(
    Display* display, const MemberAtoms& atoms, const MemberMessage& message, unsigned long pageWindow);

} // namespace velmora::platform
