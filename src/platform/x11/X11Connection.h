#pragma once
// The opaque display connection of the portable headers is an Xlib
// connection on X11; these convert between the two names for it.

struct _XDisplay;
using Display = _XDisplay;

namespace velmora::platform {

struct DisplayConnection;

inline Display* XlibDisplay(DisplayConnection* connection)
{
    return reinterpret_cast<Display*>(connection);
}

inline DisplayConnection* AsConnection(Display* display)
{
    return reinterpret_cast<DisplayConnection*>(display);
}

} // namespace velmora::platform
