#pragma once
// Turning a rendered frame into a 256-colour bitmap file: integer box
// shrinking, a median-cut palette, and an 8-bit bottom-up BMP writer.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::tools {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels; // rows top-down
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> palette; // at most 256 entries
    std::vector<uint8_t> indices; // rows top-down
};

// Averages each factor x factor block; false when the sizes do not divide.
bool ShrinkByBoxes(const RgbImage& in, int factor, RgbImage& out);

// A palette of at most `colours` entries by median cut (every box split at
// the median of its widest channel), then each pixel mapped to the nearest
// entry. Deterministic: the same image always gives the same bytes.
IndexedImage Quantise(const RgbImage& image, int colours = 256);

// A BMP file: 40-byte header, 8 bits per pixel, no compression, 256 palette
// entries (unused ones black), rows bottom-up padded to 4 bytes.
std::vector<uint8_t> EncodeBmp8(const IndexedImage& image);

} // namespace velmora::tools
