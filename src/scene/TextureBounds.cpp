#include "scene/TextureBounds.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <numbers>

namespace velmora {

namespace {

// Larger textures than this are not shipped; anything bigger is treated as
// malformed rather than scanned.
constexpr int kMaxSide = 16384;
// A linear filter reaches a texel from half a texel beyond its edge; one more
// half texel absorbs rounding of the interpolated coordinates.
constexpr double kReach = 1.0;

// Sides of the hole left in a ring; a hole narrower than kMinHoleTexels
// across is not worth its triangles.
constexpr int kHoleSides = 16;
constexpr double kMinHoleTexels = 8.0;

// Calls live(col, row) for every texel whose three channels are not all
// neutral, row by row.
template<typename Live>
void ForEachLiveTexel(const uint8_t* rgb, int width, int height, uint8_t neutral, Live live)
{
    for (int row = 0; row < height; ++row) {
        const uint8_t* line = rgb + static_cast<std::size_t>(row) * static_cast<std::size_t>(width) * 3;
        for (int col = 0; col < width; ++col) {
            const uint8_t* px = line + static_cast<std::size_t>(col) * 3;
            if (px[0] != neutral || px[1] != neutral || px[2] != neutral) {
                live(col, row);
            }
        }
    }
}

// Twice the signed area of (a, b, c): positive when counter-clockwise.
double Cross(double ax, double ay, double bx, double by)
{
    return ax * by - ay * bx;
}

// Distance from the texture's centre, along the ray at angle, to where it
// leaves the convex polygon around the centre.
double RayExit(const std::vector<TexturePoint>& polygon, double angle)
{
    const double dx = std::cos(angle);
    const double dy = std::sin(angle);
    double exit = 0.0;
    for (std::size_t k = 0; k < polygon.size(); ++k) {
        const TexturePoint& a = polygon[k];
        const TexturePoint& b = polygon[(k + 1) % polygon.size()];
        const double ex = static_cast<double>(b.s) - a.s;
        const double ey = static_cast<double>(b.t) - a.t;
        const double denom = Cross(dx, dy, ex, ey);
        if (std::fabs(denom) < 1e-12) {
            continue;
        }
        const double ax = a.s - 0.5;
        const double ay = a.t - 0.5;
        const double u = Cross(ax, ay, ex, ey) / denom;
        const double v = Cross(ax, ay, dx, dy) / denom;
        if (u > 0.0 && v >= -1e-9 && v <= 1.0 + 1e-9) {
            exit = std::max(exit, u);
        }
    }
    return exit;
}

bool InsideConvex(const std::vector<TexturePoint>& polygon, double s, double t)
{
    for (std::size_t k = 0; k < polygon.size(); ++k) {
        const TexturePoint& a = polygon[k];
        const TexturePoint& b = polygon[(k + 1) % polygon.size()];
        if (Cross(static_cast<double>(b.s) - a.s, static_cast<double>(b.t) - a.t, s - a.s, t - a.t) <= 0.0) {
            return false;
        }
    }
    return true;
}

// Radius, in texture coordinates, of the largest disc around the centre in
// which a linear filter reads only neutral texels.
double NeutralRadius(const uint8_t* rgb, int width, int height, uint8_t neutral)
{
    const double w = width;
    const double h = height;
    double nearest = 1.0;
    ForEachLiveTexel(rgb, width, height, neutral, [&](int col, int row) {
        // The square the filter reads this texel from, as the bounds do.
        const double s0 = (col - kReach) / w, s1 = (col + 1 + kReach) / w;
        const double t0 = (row - kReach) / h, t1 = (row + 1 + kReach) / h;
        const double dx = std::max({s0 - 0.5, 0.0, 0.5 - s1});
        const double dy = std::max({t0 - 0.5, 0.0, 0.5 - t1});
        nearest = std::min(nearest, std::hypot(dx, dy));
    });
    return nearest;
}

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
    ForEachLiveTexel(rgb, width, height, neutral, [&](int c, int r) {
        const auto col = static_cast<std::size_t>(c);
        const auto row = static_cast<std::size_t>(r);
        colMin = std::min(colMin, col);
        colMax = std::max(colMax, col);
        rowMin = std::min(rowMin, row);
        rowMax = std::max(rowMax, row);
    });
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
    ForEachLiveTexel(rgb, width, height, neutral, [&](int col, int row) {
        const double left = col - kReach, right = col + 1 + kReach;
        const double low = row - kReach, high = row + 1 + kReach;
        room[0] = std::min(room[0], (x1 - right) + (low - y0));
        room[1] = std::min(room[1], (x1 - right) + (y1 - high));
        room[2] = std::min(room[2], (left - x0) + (y1 - high));
        room[3] = std::min(room[3], (left - x0) + (low - y0));
    });
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

std::vector<TexturePoint> PieceOutline(const TexturePiece& piece)
{
    const float u[4] = {piece.s1, piece.s1, piece.s0, piece.s0};
    const float v[4] = {piece.t0, piece.t1, piece.t1, piece.t0};
    // Inwards from corner i: along s, and along t.
    const float su[4] = {-1.0f, -1.0f, 1.0f, 1.0f};
    const float tv[4] = {1.0f, -1.0f, -1.0f, 1.0f};
    std::vector<TexturePoint> points;
    for (std::size_t i = 0; i < 4; ++i) {
        if (piece.cutS[i] <= 0.0f && piece.cutT[i] <= 0.0f) {
            points.push_back({u[i], v[i]});
            continue;
        }
        // Corners 0 and 2 are reached along an edge of constant t, 1 and 3
        // along one of constant s.
        if (i % 2 == 0) {
            points.push_back({u[i] + su[i] * piece.cutS[i], v[i]});
            points.push_back({u[i], v[i] + tv[i] * piece.cutT[i]});
        } else {
            points.push_back({u[i], v[i] + tv[i] * piece.cutT[i]});
            points.push_back({u[i] + su[i] * piece.cutS[i], v[i]});
        }
    }
    return points;
}

std::vector<uint8_t> FaintTexelsAsBlack(const uint8_t* rgb, int width, int height, uint8_t faintest)
{
    if (!rgb || width <= 0 || height <= 0)
        return {};
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    std::vector<uint8_t> copy(rgb, rgb + bytes);
    for (std::size_t i = 0; i < bytes; i += 3) {
        if (std::max({copy[i], copy[i + 1], copy[i + 2]}) <= faintest)
            copy[i] = copy[i + 1] = copy[i + 2] = 0;
    }
    return copy;
}

const TextureShape* AddedShapes::ForAlpha(double alpha) const
{
    // Half a step below the rounding limit keeps float error out.
    constexpr double kLimit = 127.0;
    // The alpha in steps, as a float or rounded to a byte (up at a half).
    const double steps = std::clamp(alpha, 0.0, 1.0) * 255.0;
    const double a = std::max(steps, std::floor(steps + 0.5));
    // Even the brightest texel rounds to nothing.
    if (255.0 * a < kLimit)
        return nullptr;
    std::size_t k = 0;
    while (k + 1 < kFaintest.size() && kFaintest[k + 1] * a < kLimit)
        ++k;
    return &shapes[k];
}

AddedShapes MakeAddedShapes(const uint8_t* rgb, int width, int height)
{
    AddedShapes added;
    added.shapes[0] = RingShape(rgb, width, height, 0);
    for (std::size_t k = 1; k < AddedShapes::kFaintest.size(); ++k) {
        const std::vector<uint8_t> drawn = FaintTexelsAsBlack(rgb, width, height, AddedShapes::kFaintest[k]);
        added.shapes[k] = RingShape(drawn.empty() ? nullptr : drawn.data(), width, height, 0);
    }
    return added;
}

TextureShape RingShape(const uint8_t* rgb, int width, int height, uint8_t neutral)
{
    TextureShape shape;
    // Nothing known about the texture: all of it is drawn.
    if (rgb == nullptr || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return shape;
    }
    const std::vector<TexturePiece> pieces = CutCornerPieces(rgb, width, height, neutral);
    if (pieces.size() != 1) {
        // Every texel neutral: nothing to draw.
        shape.whole = false;
        return shape;
    }
    const std::vector<TexturePoint> outer = PieceOutline(pieces.front());

    // The hole: a 16-gon inscribed in the neutral disc, used only when it is
    // wide enough and lies inside the outline.
    const double radius = NeutralRadius(rgb, width, height, neutral);
    std::vector<TexturePoint> hole;
    if (radius * std::min(width, height) >= kMinHoleTexels) {
        for (int k = 0; k < kHoleSides; ++k) {
            const double a = 2.0 * std::numbers::pi * k / kHoleSides;
            hole.push_back({static_cast<float>(0.5 + radius * std::cos(a)),
                static_cast<float>(0.5 + radius * std::sin(a))});
        }
        for (const TexturePoint& p : hole) {
            if (!InsideConvex(outer, p.s, p.t)) {
                hole.clear();
                break;
            }
        }
    }
    if (hole.empty()) {
        if (pieces.front().Whole()) {
            return shape;
        }
        shape.whole = false;
        for (std::size_t k = 1; k + 1 < outer.size(); ++k) {
            shape.triangles.insert(shape.triangles.end(), {outer[0], outer[k], outer[k + 1]});
        }
        return shape;
    }

    // The ring between the two convex outlines, cut along rays from the
    // centre through every corner of either: between neighbouring rays each
    // outline is one straight edge, so each slice is a convex quadrilateral.
    std::vector<double> angles;
    for (const std::vector<TexturePoint>& polygon : {std::cref(outer), std::cref(hole)}) {
        for (const TexturePoint& p : polygon) {
            angles.push_back(std::atan2(p.t - 0.5, p.s - 0.5));
        }
    }
    std::sort(angles.begin(), angles.end());
    angles.erase(
        std::unique(angles.begin(), angles.end(), [](double a, double b) { return std::fabs(a - b) < 1e-9; }),
        angles.end());
    const auto at = [](double angle, double r) {
        return TexturePoint {
            static_cast<float>(0.5 + r * std::cos(angle)), static_cast<float>(0.5 + r * std::sin(angle))};
    };
    shape.whole = false;
    for (std::size_t k = 0; k < angles.size(); ++k) {
        const double a0 = angles[k];
        const double a1 = angles[(k + 1) % angles.size()];
        const TexturePoint in0 = at(a0, RayExit(hole, a0));
        const TexturePoint out0 = at(a0, RayExit(outer, a0));
        const TexturePoint in1 = at(a1, RayExit(hole, a1));
        const TexturePoint out1 = at(a1, RayExit(outer, a1));
        shape.triangles.insert(shape.triangles.end(), {in0, out0, out1, in0, out1, in1});
    }
    return shape;
}

} // namespace velmora
