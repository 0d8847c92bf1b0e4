// The running program's display as Qt's xcb platform holds it: the Xlib and
// xcb connections are the toolkit's own, looked up once; nothing is opened
// or closed here.

#include "platform/AppDisplay.h"

#include <QGuiApplication>

#include <limits>

#include "platform/x11/X11DisplaySettings.h"
#include "platform/x11/X11HostWindow.h"
#include "platform/x11/X11ScreenSaver.h"

namespace velmora::platform {
namespace {

// X window ids are 32 bits wide; a larger id names no window.
std::optional<uint32_t> XWindowId(uint64_t window)
{
    if (window > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    return static_cast<uint32_t>(window);
}

class X11AppDisplay final : public AppDisplay {
public:
    X11AppDisplay()
    {
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (x11 != nullptr) {
            display_ = x11->display();
            connection_ = x11->connection();
        }
    }

    bool Connected() const override { return display_ != nullptr && connection_ != nullptr; }

    std::unique_ptr<DisplayModeSwitcher> ModeSwitcher() override
    {
        return std::make_unique<X11DisplaySettings>(display_);
    }

    bool SetScreenSaverRunning(bool running) override
    {
        return platform::SetScreenSaverRunning(display_, running);
    }

    uint64_t RootWindow() override { return DefaultRootWindow(connection_); }

    std::optional<HostWindowSize> QueryWindowSize(uint64_t window) override
    {
        const std::optional<uint32_t> id = XWindowId(window);
        if (!id)
            return std::nullopt;
        return QueryHostWindowSize(connection_, *id);
    }

    bool WatchWindow(uint64_t window) override
    {
        const std::optional<uint32_t> id = XWindowId(window);
        return id && WatchHostWindow(connection_, *id);
    }

    HostWindowChange ReadWindowEvent(
        std::string_view eventType, const void* event, uint64_t window, HostWindowSize& size) const override
    {
        const std::optional<uint32_t> id = XWindowId(window);
        if (!id || eventType != "xcb_generic_event_t" || event == nullptr)
            return HostWindowChange::None;
        return ReadHostWindowEvent(event, *id, size);
    }

private:
    Display* display_ = nullptr;
    xcb_connection_t* connection_ = nullptr;
};

} // namespace

std::unique_ptr<AppDisplay> OpenAppDisplay()
{
    return std::make_unique<X11AppDisplay>();
}

std::unique_ptr<DisplayModeSource> OpenDisplayModeSource()
{
    return std::make_unique<X11DisplayModeSource>();
}

} // namespace velmora::platform
