#pragma once
// A window that another program owns (a screensaver host's window, or the
// root window) as seen by a client that draws inside it: its size, its
// changes and its end, read on the client's own xcb connection.

#include <cstdint>
#include <optional>

#include "platform/AppDisplay.h"

struct xcb_connection_t;

namespace velmora::platform {

// The root window of the screen that $DISPLAY names on this connection.
uint32_t DefaultRootWindow(xcb_connection_t* connection);

// The size of `window`; nullopt when the server knows no such window.
std::optional<HostWindowSize> QueryHostWindowSize(xcb_connection_t* connection, uint32_t window);

// Asks the server for the structure events of `window` (size changes, its
// destruction) on this connection, keeping whatever this client already
// selected there. False when the window is gone.
bool WatchHostWindow(xcb_connection_t* connection, uint32_t window);

// Reads one event of the connection (an xcb_generic_event_t).
HostWindowChange ReadHostWindowEvent(const void* event, uint32_t window, HostWindowSize& size);

} // namespace velmora::platform
