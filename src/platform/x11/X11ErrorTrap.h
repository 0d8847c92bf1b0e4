#pragma once
// Xlib reports request errors asynchronously through one process-wide
// handler whose default ends the process. Requests on windows of other
// programs (which may vanish at any moment) run inside a trap instead.

#include <X11/Xlib.h>

namespace velmora::platform::x11 {

class ErrorTrap {
public:
    // Starts trapping the errors of `display`'s requests from now on.
    explicit ErrorTrap(Display* display);
    // Syncs and restores the previous handler.
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Syncs with the server; true when any trapped request failed so far.
    bool Failed();

private:
    Display* display_;
    XErrorHandler previous_;
};

} // namespace velmora::platform::x11
