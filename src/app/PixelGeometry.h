#pragma once
// Window positions and sizes in device pixels, as the toolkit-free window
// logic sees them whatever toolkit (Qt, Win32) reports them.

namespace velmora {

struct PixelPoint {
    int x = 0;
    int y = 0;

    bool operator==(const PixelPoint&) const = default;
};

struct PixelSize {
    int width = 0;
    int height = 0;

    bool operator==(const PixelSize&) const = default;
};

} // namespace velmora
