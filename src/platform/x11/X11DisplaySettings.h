#pragma once
// Display modes of the primary screen through XRandR: what the screen offers,
// what it shows now, and a temporary change that is undone on request or when
// the object goes away.

#include <vector>

#include "platform/DisplayModes.h"

// Xlib's connection type, declared the way Xlib does so that this header stays
// free of X11 includes.
struct _XDisplay;
using Display = _XDisplay;

namespace velmora::platform {

class X11DisplaySettings final : public DisplayModeSwitcher, public DisplayModeSource {
public:
    // `display` stays owned by the caller and must outlive this object.
    explicit X11DisplaySettings(Display* display);
    ~X11DisplaySettings() override;
    X11DisplaySettings(const X11DisplaySettings&) = delete;
    X11DisplaySettings& operator=(const X11DisplaySettings&) = delete;

    DisplayMode Current() const override;
    bool ChangeTemporarily(const DisplayMode& mode) override;
    void Restore() override;

    // Every size and refresh rate the server offers for the screen, in the
    // server's order; sizes with several rates appear once per rate.
    std::vector<DisplayMode> Enumerate() const;
    std::vector<DisplayMode> EnumerateModes() const override { return Enumerate(); }

private:
    Display* display_;
    bool changed_ = false;
    int savedSize_ = -1;
    unsigned short savedRotation_ = 0;
    short savedRate_ = 0;
};

// The modes of the screen named by $DISPLAY, over a connection opened for
// each enumeration (the settings page enumerates only on user action). No
// server gives an empty list.
class X11DisplayModeSource final : public DisplayModeSource {
public:
    std::vector<DisplayMode> EnumerateModes() const override;
};

} // namespace velmora::platform
