#pragma once
// Xlib helpers for the tests that look at windows as another client does:
// an owned connection, a window's children, and the close box's request.

#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace velmora::test {

struct DisplayCloser {
    void operator()(_XDisplay* display) const;
};
using DisplayConnection = std::unique_ptr<_XDisplay, DisplayCloser>;

// A connection to `name`, or to $DISPLAY when empty; null when refused.
DisplayConnection OpenDisplay(const std::string& name = {});

// The children of `window`, bottom first; empty when it has none or is gone.
std::vector<unsigned long> ChildWindows(_XDisplay* display, unsigned long window);

// Whether the server holds `window` and it is mapped with all its parents.
bool IsWindowViewable(_XDisplay* display, unsigned long window);

// WM_DELETE_WINDOW, as a window manager sends it for the close box.
void SendCloseRequest(_XDisplay* display, unsigned long window);

// A window's title: _NET_WM_NAME, else WM_NAME; empty when it has none.
std::string WindowTitle(_XDisplay* display, unsigned long window);

// The instance name (res_name) of a window's WM_CLASS; empty when unset.
std::string WindowClass(_XDisplay* display, unsigned long window);

// The top-level windows titled `title`, bottom first.
std::vector<unsigned long> TopLevelsNamed(_XDisplay* display, const std::string& title);

// The first viewable one of them; 0 when none is.
unsigned long ViewableTopLevel(_XDisplay* display, const std::string& title);

// The text that the owner of the selection `selection` ("PRIMARY",
// "CLIPBOARD") hands out as UTF-8; empty when there is no owner or it does
// not answer within `timeoutMs`.
std::string SelectionText(_XDisplay* display, const std::string& selection, int timeoutMs = 5000);

} // namespace velmora::test
