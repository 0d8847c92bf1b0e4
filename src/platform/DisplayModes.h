#pragma once
// Display modes as the settings page and the full-screen window see them,
// and the enumeration the page offers its user, behind an interface so that
// the page logic can be driven by a fixed list.

#include <vector>

namespace velmora::platform {

// One display mode: pixel size and bits per pixel. On X the bits per pixel are
// the screen's depth, which no mode change can alter.
struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;

    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// Every mode the system reports for the current display, in the system's
// order; a size offered at several refresh rates appears once per rate.
class DisplayModeSource {
public:
    virtual ~DisplayModeSource() = default;
    virtual std::vector<DisplayMode> EnumerateModes() const = 0;
};

} // namespace velmora::platform
