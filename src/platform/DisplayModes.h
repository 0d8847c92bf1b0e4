#pragma once
// Display modes as the settings page and the full-screen window see them:
// the enumeration the page offers its user and the temporary change a
// full-screen run makes, behind interfaces so that the page logic and the
// window can be driven by a fixed list and a recording switcher.

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

// Changing the mode of a screen the program does not own; abstract so the
// window can be driven by another implementation in tests.
class DisplayModeSwitcher {
public:
    virtual ~DisplayModeSwitcher() = default;
    // The primary screen's mode at this moment.
    virtual DisplayMode Current() const = 0;
    // Switches for this run only; false when the server refuses or offers no
    // such mode (nothing is changed then).
    virtual bool ChangeTemporarily(const DisplayMode& mode) = 0;
    // Goes back to the mode found before the first change; harmless when
    // nothing was changed.
    virtual void Restore() = 0;
};

} // namespace velmora::platform
