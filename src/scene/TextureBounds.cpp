#include "scene/TextureBounds.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace velmora {

namespace {

// Larger textures than this are not shipped; anything bigger is treated as
// malformed rather than scanned.
constexpr int kMaxSide = 16384;
// A linear filter reaches a texel from half a texel beyond its edge; one more
// half texel absorbs rounding of the interpolated coordinates.
constexpr double kReach = 1.0;

// One axis: [lo, hi] the span of live texels out of n.
void AxisBounds(std::size_t lo, std::size_t hi, std::size_t n, float& c0, float& c1)
{
    const double fn = static_cast<double>(n);
    c0 = static_cast<float>(std::max(0.0, (static_cast<double>(lo) - kReach) / fn));
    c1 = static_cast<float>(std::min(1.0, (static_cast<double>(hi) + 1.0 + kReach) / fn));
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
    AxisBounds(colMin, colMax, w, bounds.s0, bounds.s1);
    AxisBounds(rowMin, rowMax, h, bounds.t0, bounds.t1);
    if (wrap == TextureWrap::Repeat) {
        // Live texels on the first or last line are read across the opposite
        // edge as well; two texels of strip (one for the filter, one against
        // rounding) unless the rectangle reaches that edge anyway.
        const float stripS = static_cast<float>(2.0 / static_cast<double>(w));
        const float stripT = static_cast<float>(2.0 / static_cast<double>(h));
        if (colMax + 2 >= w) {
            bounds.stripS0 = std::min(stripS, bounds.s0);
        }
        if (colMin <= 1) {
            bounds.stripS1 = std::min(stripS, 1.0f - bounds.s1);
        }
        if (rowMax + 2 >= h) {
            bounds.stripT0 = std::min(stripT, bounds.t0);
        }
        if (rowMin <= 1) {
            bounds.stripT1 = std::min(stripT, 1.0f - bounds.t1);
        }
    }
    return bounds;
}

std::vector<TexturePiece> TexturePieces(const TextureBounds& bounds)
{
    std::vector<TexturePiece> pieces;
    if (bounds.empty) {
        return pieces;
    }
    // Columns and rows of the layout: the rectangle's span and the strips
    // beside it. Neighbouring pieces share their edges exactly.
    struct Span {
        float lo, hi;
    };
    Span sSpans[3];
    Span tSpans[3];
    int sCount = 0, tCount = 0;
    if (bounds.stripS0 > 0.0f) {
        sSpans[sCount++] = {0.0f, bounds.stripS0};
    }
    sSpans[sCount++] = {bounds.s0, bounds.s1};
    if (bounds.stripS1 > 0.0f) {
        sSpans[sCount++] = {1.0f - bounds.stripS1, 1.0f};
    }
    if (bounds.stripT0 > 0.0f) {
        tSpans[tCount++] = {0.0f, bounds.stripT0};
    }
    tSpans[tCount++] = {bounds.t0, bounds.t1};
    if (bounds.stripT1 > 0.0f) {
        tSpans[tCount++] = {1.0f - bounds.stripT1, 1.0f};
    }
    // Every combination: a strip across the rectangle's other span, or a
    // corner where both wrap.
    for (int j = 0; j < tCount; ++j) {
        for (int i = 0; i < sCount; ++i) {
            if (sSpans[i].lo < sSpans[i].hi && tSpans[j].lo < tSpans[j].hi) {
                pieces.push_back({sSpans[i].lo, tSpans[j].lo, sSpans[i].hi, tSpans[j].hi});
            }
        }
    }
    return pieces;
}

std::vector<TexturePiece> CutCornerPieces(const uint8_t* rgb, int width, int height, uint8_t neutral)
{
    const TextureBounds bounds = ComputeTextureBounds(rgb, width, height, neutral, TextureWrap::ClampToEdge);
    std::vector<TexturePiece> pieces = TexturePieces(bounds);
    if (pieces.size() != 1 || rgb == nullptr) {
        return pieces;
    }
    TexturePiece& piece = pieces.front();
    // In texels: the rectangle, and the smallest distance (measured as
    // |dx| + |dy|) from each corner to a live texel grown by the reach.
    const double w = width;
    const double h = height;
    const double x0 = piece.s0 * w, x1 = piece.s1 * w, y0 = piece.t0 * h, y1 = piece.t1 * h;
    std::array<double, 4> room {x1 - x0 + y1 - y0, x1 - x0 + y1 - y0, x1 - x0 + y1 - y0, x1 - x0 + y1 - y0};
    for (int row = 0; row < height; ++row) {
        const uint8_t* line = rgb + static_cast<std::size_t>(row) * static_cast<std::size_t>(width) * 3;
        for (int col = 0; col < width; ++col) {
            const uint8_t* px = line + static_cast<std::size_t>(col) * 3;
            if (px[0] == neutral && px[1] == neutral && px[2] == neutral) {
                continue;
            }
            const double left = col - kReach, right = col + 1 + kReach;
            const double low = row - kReach, high = row + 1 + kReach;
            room[0] = std::min(room[0], (x1 - right) + (low - y0));
            room[1] = std::min(room[1], (x1 - right) + (y1 - high));
            room[2] = std::min(room[2], (left - x0) + (y1 - high));
            room[3] = std::min(room[3], (left - x0) + (low - y0));
        }
    }
    // Cuts of neighbouring corners must not meet: at most half of each side.
    const double most = std::min(x1 - x0, y1 - y0) / 2.0;
    for (std::size_t k = 0; k < 4; ++k) {
        // Whole texels only, so the cut points stay exact in float.
        const double cut = std::floor(std::clamp(room[k], 0.0, most));
        piece.cutS[k] = static_cast<float>(cut / w);
        piece.cutT[k] = static_cast<float>(cut / h);
    }
    return pieces;
}

} // namespace velmora
