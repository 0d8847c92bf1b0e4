#pragma once
// The display the running windowed program's toolkit is connected to, for
// what the windows need beyond the toolkit: the primary screen's mode, the
// system's own screen blanking, and windows of other programs (a screensaver
// host's window, or the root window) that this program draws inside. Window
// ids are the display system's own; 0 names no window.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/DisplayModes.h"

namespace velmora::platform {

struct HostWindowSize {
    int width = 0;
    int height = 0;

    bool operator==(const HostWindowSize&) const = default;
};

enum class HostWindowChange {
    None, // the event is about something else
    Resized, // `size` holds the new size
    Gone, // the window was destroyed
};

class AppDisplay {
public:
    virtual ~AppDisplay() = default;

    // False when the toolkit holds no connection this layer can use (no
    // application object yet, or another windowing system); the calls below
    // then change nothing and report failure or absence.
    virtual bool Connected() const = 0;

    // Temporary mode changes of the primary screen over this connection.
    virtual std::unique_ptr<DisplayModeSwitcher> ModeSwitcher() = 0;

    // While `running` is true the system's own screen blanking and display
    // power saving stay off; false gives them back. The system ends the
    // suspension by itself if this program dies. False when the system
    // offers no such control, which leaves blanking as it was.
    virtual bool SetScreenSaverRunning(bool running) = 0;

    // The window that covers the whole screen behind every other one.
    virtual uint64_t RootWindow() = 0;
    // The size of `window`; nullopt when the display knows no such window.
    virtual std::optional<HostWindowSize> QueryWindowSize(uint64_t window) = 0;
    // Asks for the size changes and the end of `window` to arrive among the
    // toolkit's native events, keeping whatever this program already asked
    // for there. False when the window is gone.
    virtual bool WatchWindow(uint64_t window) = 0;
    // Reads one native event as a toolkit event filter receives it (the
    // toolkit's name for its type, and the event itself).
    virtual HostWindowChange ReadWindowEvent(
        std::string_view eventType, const void* event, uint64_t window, HostWindowSize& size) const = 0;
};

// The running program's display, looked up through its toolkit; never null
// (see Connected()).
std::unique_ptr<AppDisplay> OpenAppDisplay();

// The display modes the settings page offers, read over a connection of its
// own for each enumeration (the page enumerates only on user action). No
// display gives an empty list.
std::unique_ptr<DisplayModeSource> OpenDisplayModeSource();

} // namespace velmora::platform
