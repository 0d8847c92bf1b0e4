#include "scene/TextureBounds.h"

#include <algorithm>
#include <cstddef>

namespace velmora {

namespace {

// Larger textures than this are not shipped; anything bigger is treated as
// malformed rather than scanned.
constexpr int kMaxSide = 16384;

// One axis: [lo, hi] the span of non-neutral texels out of n. A linear filter
// reaches a texel from half a texel beyond its edge; one more half texel
// absorbs rounding of the interpolated coordinates.
void AxisBounds(std::size_t lo, std::size_t hi, std::size_t n, bool repeat, float& c0, float& c1)
{
    const double fn = static_cast<double>(n);
    double a = (static_cast<double>(lo) - 1.0) / fn;
    double b = (static_cast<double>(hi) + 2.0) / fn;
    // Repeat wrapping blends the first and last texels near either edge: a
    // live texel at one edge keeps the opposite edge live too.
    if (repeat && hi + 2 >= n) {
        a = 0.0;
    }
    if (repeat && lo <= 1) {
        b = 1.0;
    }
    c0 = static_cast<float>(std::max(0.0, a));
    c1 = static_cast<float>(std::min(1.0, b));
}

} // namespace

TextureBounds ComputeTextureBounds(
    const uint8_t* rgb, int width, int height, uint8_t neutral, TextureWrap wrap)
{
    if (rgb == nullptr || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return TextureBounds {};
    }
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    std::size_t colMin = w, colMax = 0, rowMin = h, rowMax = 0;
    for (std::size_t row = 0; row < h; ++row) {
        const uint8_t* line = rgb + row * w * 3;
        for (std::size_t col = 0; col < w; ++col) {
            const uint8_t* px = line + col * 3;
            if (px[0] == neutral && px[1] == neutral && px[2] == neutral) {
                continue;
            }
            colMin = std::min(colMin, col);
            colMax = std::max(colMax, col);
            rowMin = std::min(rowMin, row);
            rowMax = std::max(rowMax, row);
        }
    }
    TextureBounds bounds;
    if (colMin > colMax) {
        bounds.empty = true;
        return bounds;
    }
    const bool repeat = wrap == TextureWrap::Repeat;
    AxisBounds(colMin, colMax, w, repeat, bounds.s0, bounds.s1);
    AxisBounds(rowMin, rowMax, h, repeat, bounds.t0, bounds.t1);
    return bounds;
}

} // namespace velmora
