#pragma once
// The program's icon and the image strip of the collection dialog, painted
// by the generator (no outside pictures).

#include "Art.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velmora::art {

// 8-bit RGBA, rows from the top, straight (not premultiplied) alpha.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// Icon 128, the ringed planet, at the sizes the program carries.
inline constexpr std::array<int, 5> kIconSides {16, 32, 48, 64, 128};
RgbaImage MakeProgramIcon(int side);

// Bitmap 138: six 32 x 32 images side by side on the key colour magenta.
inline constexpr int kStripCell = 32;
inline constexpr int kStripImageCount = 6;
inline constexpr std::array<uint8_t, 3> kStripKey {255, 0, 255};
Image MakeImageStrip();

} // namespace velmora::art
