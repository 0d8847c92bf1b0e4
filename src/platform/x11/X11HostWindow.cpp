#include "platform/x11/X11HostWindow.h"

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace velmora::platform {
namespace {

// xcb hands out replies and errors from malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template<class T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

} // namespace

uint32_t DefaultRootWindow(xcb_connection_t* connection)
{
    if (connection == nullptr)
        return 0;
    int screenNumber = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screenNumber) == 0)
        screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0 && i < screenNumber; ++i)
        xcb_screen_next(&it);
    return it.rem > 0 ? it.data->root : 0;
}

std::optional<HostWindowSize> QueryHostWindowSize(xcb_connection_t* connection, uint32_t window)
{
    if (connection == nullptr || window == 0)
        return std::nullopt;
    xcb_generic_error_t* rawError = nullptr;
    XcbReply<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    if (!reply || error)
        return std::nullopt;
    return HostWindowSize {reply->width, reply->height};
}

bool WatchHostWindow(xcb_connection_t* connection, uint32_t window)
{
    if (connection == nullptr || window == 0)
        return false;
    // Event masks are per client and a change replaces the whole mask, so
    // the events this client (the toolkit) already takes there are kept.
    xcb_generic_error_t* rawError = nullptr;
    XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    if (!attributes || error)
        return false;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    XcbReply<xcb_generic_error_t> changeError(xcb_request_check(
        connection, xcb_change_window_attributes_checked(connection, window, XCB_CW_EVENT_MASK, &mask)));
    return !changeError;
}

HostWindowChange ReadHostWindowEvent(const void* event, uint32_t window, HostWindowSize& size)
{
    if (event == nullptr || window == 0)
        return HostWindowChange::None;
    const auto* generic = static_cast<const xcb_generic_event_t*>(event);
    switch (generic->response_type & ~0x80) {
    case XCB_CONFIGURE_NOTIFY: {
        const auto* configure = static_cast<const xcb_configure_notify_event_t*>(event);
        if (configure->window != window)
            return HostWindowChange::None;
        size = {configure->width, configure->height};
        return HostWindowChange::Resized;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(event);
        return destroyed->window == window ? HostWindowChange::Gone : HostWindowChange::None;
    }
    default:
        return HostWindowChange::None;
    }
}

} // namespace velmora::platform
