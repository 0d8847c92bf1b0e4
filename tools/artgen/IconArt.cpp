// The program's icon (a ringed planet) and the six-image strip of the
// collection dialog's product list.
//
// Both are painted analytically: a scene function gives the colour of the
// topmost shape at a point, and every pixel averages a grid of samples, so
// edges are smooth at any size without an outside picture.
//
// [SECTION] Painting helpers
// [SECTION] The ringed planet
// [SECTION] Strip images
// [SECTION] Rendering

#include "IconArt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace velmora::art {
namespace {

// [SECTION] Painting helpers

// Straight colour with coverage: a = 0 means "nothing here".
struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};

constexpr Rgba kNone {};

constexpr Rgba Opaque(double r, double g, double b)
{
    return {r / 255.0, g / 255.0, b / 255.0, 1.0};
}

Rgba Mix(const Rgba& c0, const Rgba& c1, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return {c0.r + (c1.r - c0.r) * t, c0.g + (c1.g - c0.g) * t, c0.b + (c1.b - c0.b) * t,
        c0.a + (c1.a - c0.a) * t};
}

Rgba Shade(const Rgba& c, double k)
{
    return {std::clamp(c.r * k, 0.0, 1.0), std::clamp(c.g * k, 0.0, 1.0), std::clamp(c.b * k, 0.0, 1.0), c.a};
}

bool InCircle(double x, double y, double cx, double cy, double r)
{
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

bool InRoundedBox(double x, double y, double x0, double y0, double x1, double y1, double radius)
{
    const double cx = std::clamp(x, x0 + radius, x1 - radius);
    const double cy = std::clamp(y, y0 + radius, y1 - radius);
    return x >= x0 && x <= x1 && y >= y0 && y <= y1 && InCircle(x, y, cx, cy, radius);
}

// Inside the triangle a, b, c (either winding).
bool InTriangle(double x, double y, std::array<double, 6> t)
{
    const auto side = [&](double ax, double ay, double bx, double by) {
        return (bx - ax) * (y - ay) - (by - ay) * (x - ax);
    };
    const double d0 = side(t[0], t[1], t[2], t[3]);
    const double d1 = side(t[2], t[3], t[4], t[5]);
    const double d2 = side(t[4], t[5], t[0], t[1]);
    return (d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0);
}

// Within `halfWidth` of the segment (x0, y0)-(x1, y1): a stroke with round caps.
bool OnSegment(double x, double y, double x0, double y0, double x1, double y1, double halfWidth)
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return InCircle(x, y, x0 + t * dx, y0 + t * dy, halfWidth);
}

// A small deterministic hash for star positions.
double Hash(int i, int salt)
{
    uint32_t h = static_cast<uint32_t>(i) * 747796405u + static_cast<uint32_t>(salt) * 2891336453u;
    h = ((h >> ((h >> 28) + 4)) ^ h) * 277803737u;
    h = (h >> 22) ^ h;
    return (h & 0xffffff) / double(0xffffff);
}

// [SECTION] The ringed planet

// Unit coordinates: the picture spans [-1, 1] on both axes, y down. The ring
// plane is tilted by kTilt and seen from slightly above (kRingAspect).
constexpr double kTilt = -0.42; // radians; the ring rises to the right
constexpr double kRingAspect = 0.34;
constexpr double kPlanetRadius = 0.50;
constexpr double kRingInner = 0.66;
constexpr double kRingOuter = 0.99;
constexpr double kGapInner = 0.85;
constexpr double kGapOuter = 0.885;

struct RingFrame {
    double x, y; // rotated into the ring's axes
    double rho; // radius in the ring plane
};

RingFrame ToRing(double x, double y)
{
    const double c = std::cos(kTilt);
    const double s = std::sin(kTilt);
    const double rx = x * c - y * s;
    const double ry = x * s + y * c;
    return {rx, ry, std::sqrt(rx * rx + (ry / kRingAspect) * (ry / kRingAspect))};
}

// Pale bands with a bright B ring inside the gap and a darker A ring outside.
Rgba RingColour(double rho, double x)
{
    if (rho < kRingInner || rho > kRingOuter || (rho > kGapInner && rho < kGapOuter))
        return kNone;
    const double t = (rho - kRingInner) / (kRingOuter - kRingInner);
    Rgba c = rho < kGapInner ? Mix(Opaque(150, 128, 96), Opaque(236, 218, 180), std::sqrt(t / 0.6))
                             : Mix(Opaque(204, 184, 146), Opaque(168, 146, 110), (rho - kGapOuter) / 0.1);
    // Fine ringlets, and the lit side (left) slightly brighter.
    c = Shade(c, 0.94 + 0.06 * std::sin(rho * 140.0));
    return Shade(c, 1.04 - 0.10 * x);
}

Rgba PlanetColour(double x, double y, double pixel)
{
    const double r2 = (x * x + y * y) / (kPlanetRadius * kPlanetRadius);
    const double z = std::sqrt(std::max(0.0, 1.0 - r2));
    // Latitude along the planet's axis, which is tilted with the rings.
    const RingFrame f = ToRing(x, y);
    const double lat = f.y / kPlanetRadius;
    static constexpr std::array<std::array<double, 4>, 7> kBands {{
        {-1.00, 226, 200, 150},
        {-0.62, 206, 168, 112},
        {-0.30, 240, 220, 170},
        {-0.05, 214, 176, 118},
        {0.18, 246, 228, 184},
        {0.45, 200, 160, 104},
        {1.00, 178, 140, 92},
    }};
    Rgba c = Opaque(kBands[0][1], kBands[0][2], kBands[0][3]);
    for (std::size_t i = 1; i < kBands.size(); ++i) {
        if (lat <= kBands[i][0]) {
            const double t = (lat - kBands[i - 1][0]) / (kBands[i][0] - kBands[i - 1][0]);
            c = Mix(Opaque(kBands[i - 1][1], kBands[i - 1][2], kBands[i - 1][3]),
                Opaque(kBands[i][1], kBands[i][2], kBands[i][3]), t * t * (3 - 2 * t));
            break;
        }
    }
    // Sunlight from the upper left and a little from the front.
    const double nx = x / kPlanetRadius;
    const double ny = y / kPlanetRadius;
    const double light = std::max(0.0, -0.55 * nx - 0.45 * ny + 0.70 * z);
    c = Shade(c, 0.30 + 0.85 * light);
    // The rings' shadow: a dark band just above the near ring's arc.
    const RingFrame shadow = ToRing(x + 0.05, y + 0.11);
    if (shadow.y > 0 && shadow.rho > kRingInner && shadow.rho < kRingOuter)
        c = Shade(c, 0.55);
    // A one-pixel rim keeps the disc readable on light and dark backgrounds.
    const double edge = (1.0 - std::sqrt(r2)) * kPlanetRadius;
    if (edge < pixel)
        c = Mix(Shade(c, 0.45), c, edge / pixel);
    return c;
}

Rgba PlanetIconSample(double x, double y, double pixel)
{
    const RingFrame f = ToRing(x, y);
    const bool inPlanet = x * x + y * y <= kPlanetRadius * kPlanetRadius;
    const Rgba ring = RingColour(f.rho, x);
    // The near half of the ring passes in front of the planet.
    if (ring.a > 0 && (f.y > 0 || !inPlanet)) {
        const double outerEdge = (kRingOuter - f.rho) * kRingAspect;
        return outerEdge < pixel * 0.8 ? Mix(Shade(ring, 0.5), ring, outerEdge / (pixel * 0.8)) : ring;
    }
    if (inPlanet)
        return PlanetColour(x, y, pixel);
    return kNone;
}

// [SECTION] Strip images
//
// Pixel coordinates 0..32 within one 32 x 32 cell, y down.

const Rgba kFrameDark = Opaque(52, 56, 64);
const Rgba kFrameLight = Opaque(128, 134, 146);
const Rgba kScreenTop = Opaque(10, 18, 52);
const Rgba kScreenBottom = Opaque(26, 44, 110);
const Rgba kGreen = Opaque(46, 160, 60);
const Rgba kGreenDark = Opaque(20, 96, 32);
const Rgba kRed = Opaque(208, 40, 36);
const Rgba kWhite = Opaque(250, 250, 250);

// A small monitor; `screen` paints its screen (x, y inside it), or null for
// the default starry sky.
Rgba Monitor(double x, double y, bool dimmed, Rgba (*screen)(double, double))
{
    if (InRoundedBox(x, y, 5.5, 5.5, 26.5, 21.5, 0.5)) {
        if (screen != nullptr) {
            const Rgba c = screen(x, y);
            if (c.a > 0)
                return c;
        }
        Rgba sky = Mix(kScreenTop, kScreenBottom, (y - 5.5) / 16.0);
        for (int i = 0; i < 9; ++i) {
            const double sx = 7.0 + Hash(i, 1) * 18.0;
            const double sy = 7.0 + Hash(i, 2) * 13.0;
            if (InCircle(x, y, sx, sy, 0.55 + 0.35 * Hash(i, 3)))
                sky = Mix(sky, kWhite, 0.9);
        }
        return dimmed ? Mix(sky, Opaque(70, 70, 70), 0.75) : sky;
    }
    if (InRoundedBox(x, y, 3, 3, 29, 24, 2.0))
        return Mix(kFrameLight, kFrameDark, (y - 3.0) / 21.0);
    if (InRoundedBox(x, y, 13.5, 23, 18.5, 27, 0.5))
        return kFrameDark;
    if (InRoundedBox(x, y, 8, 26, 24, 29, 1.5))
        return Mix(kFrameLight, kFrameDark, (y - 26.0) / 3.0);
    return kNone;
}

// A round badge in the lower right corner.
Rgba Badge(double x, double y, const Rgba& fill, bool check)
{
    constexpr double cx = 24.0;
    constexpr double cy = 23.5;
    if (!InCircle(x, y, cx, cy, 7.0))
        return kNone;
    if (!InCircle(x, y, cx, cy, 6.0))
        return kWhite;
    if (check
            ? (OnSegment(x, y, 20.8, 23.6, 23.2, 26.0, 1.15) || OnSegment(x, y, 23.2, 26.0, 27.4, 20.8, 1.15))
            : (OnSegment(x, y, 21.3, 20.8, 26.7, 26.2, 1.15)
                || OnSegment(x, y, 26.7, 20.8, 21.3, 26.2, 1.15)))
        return kWhite;
    return Mix(fill, Shade(fill, 0.7), (y - cy + 6.0) / 12.0);
}

Rgba SmallPlanetScreen(double x, double y)
{
    const double u = (x - 16.0) / 9.0;
    const double v = (y - 13.5) / 9.0;
    if (std::abs(u) > 1 || std::abs(v) > 1)
        return kNone;
    return PlanetIconSample(u, v, 1.0 / 9.0);
}

// Image 1: a member of the collection.
Rgba MemberImage(double x, double y)
{
    return Monitor(x, y, false, &SmallPlanetScreen);
}

// Image 2: a product to download.
Rgba DownloadImage(double x, double y)
{
    // A tray with the arrow dropping into it.
    if (InRoundedBox(x, y, 4, 24, 28, 29, 1.5) && !InRoundedBox(x, y, 6.5, 21, 25.5, 26.5, 0.5))
        return Mix(kFrameLight, kFrameDark, (y - 24.0) / 5.0);
    const bool shaft = InRoundedBox(x, y, 12.5, 2.5, 19.5, 14.5, 1.0);
    const bool head = InTriangle(x, y, {6.0, 13.0, 26.0, 13.0, 16.0, 24.0});
    const bool outline = InRoundedBox(x, y, 11.3, 1.3, 20.7, 15.0, 1.6)
        || InTriangle(x, y, {4.0, 12.0, 28.0, 12.0, 16.0, 25.6});
    if (shaft || head)
        return Mix(Opaque(90, 200, 96), kGreen, (y - 2.0) / 22.0);
    if (outline)
        return kGreenDark;
    return kNone;
}

// Image 3: the web update: a globe with a refresh badge.
Rgba WebUpdateImage(double x, double y)
{
    // The refresh arrow, in front: an open ring on a white disc whose end
    // carries an arrow head pointing on round the ring (anticlockwise).
    constexpr double ax = 23.0;
    constexpr double ay = 23.0;
    constexpr double arcRadius = 5.0;
    constexpr double gapFrom = -1.9; // radians, y down: the gap is at the top
    constexpr double gapTo = -0.5;
    const double ad = std::hypot(x - ax, y - ay);
    const double angle = std::atan2(y - ay, x - ax);
    const double ex = ax + arcRadius * std::cos(gapTo);
    const double ey = ay + arcRadius * std::sin(gapTo);
    const double tx = std::sin(gapTo); // direction of travel at the end
    const double ty = -std::cos(gapTo);
    const double nx = std::cos(gapTo);
    const double ny = std::sin(gapTo);
    const std::array<double, 6> head {ex + 3.6 * tx, ey + 3.6 * ty, ex + 3.4 * nx - 0.6 * tx, ey + 3.4 * ny - 0.6 * ty,
        ex - 3.4 * nx - 0.6 * tx, ey - 3.4 * ny - 0.6 * ty};
    if (InTriangle(x, y, head))
        return kGreen;
    if (ad <= 8.6) {
        if (std::abs(ad - arcRadius) <= 1.35 && !(angle > gapFrom && angle < gapTo))
            return kGreen;
        return kWhite;
    }
    constexpr double cx = 14.0;
    constexpr double cy = 14.0;
    constexpr double r = 11.5;
    const double d = std::hypot(x - cx, y - cy);
    if (d > r)
        return kNone;
    if (d > r - 1.0)
        return Opaque(20, 60, 120);
    const double u = (x - cx) / r;
    const double v = (y - cy) / r;
    const double z = std::sqrt(std::max(0.0, 1.0 - u * u - v * v));
    Rgba sea = Shade(Opaque(60, 140, 220), 0.55 + 0.55 * std::max(0.0, -0.5 * u - 0.5 * v + 0.7 * z));
    // Meridians and parallels as thin light lines.
    const double lon = std::atan2(u, z);
    const double lat = std::asin(std::clamp(v, -1.0, 1.0));
    const double lineWidth = 0.55 / (r * std::max(z, 0.35));
    for (double m : {-1.05, 0.0, 1.05})
        if (std::abs(lon - m) * std::sqrt(std::max(0.0, 1.0 - v * v)) < lineWidth)
            sea = Mix(sea, kWhite, 0.65);
    for (double p : {-0.6, 0.0, 0.6})
        if (std::abs(lat - p) < 0.55 / r)
            sea = Mix(sea, kWhite, 0.65);
    return sea;
}

// Image 4: an installed member whose own icon cannot be shown.
Rgba InstalledImage(double x, double y)
{
    const Rgba badge = Badge(x, y, kGreen, true);
    return badge.a > 0 ? badge : Monitor(x, y, false, nullptr);
}

// One die face with `pips` (1 to 6) pips.
Rgba Die(double x, double y, double x0, double y0, double side, int pips, const Rgba& face)
{
    if (!InRoundedBox(x, y, x0, y0, x0 + side, y0 + side, side * 0.2))
        return kNone;
    if (!InRoundedBox(x, y, x0 + 1, y0 + 1, x0 + side - 1, y0 + side - 1, side * 0.2 - 1))
        return Opaque(60, 60, 70);
    // Pip places on a 4 x 4 grid of the face: corners, middle sides, centre.
    struct Place {
        double u, v;
    };
    static constexpr Place kTopLeft {1, 1}, kTopRight {3, 1}, kMidLeft {1, 2}, kMidRight {3, 2},
        kBottomLeft {1, 3}, kBottomRight {3, 3}, kCentre {2, 2};
    static const std::array<std::vector<Place>, 7> kFaces {{{}, {kCentre}, {kTopRight, kBottomLeft},
        {kTopRight, kCentre, kBottomLeft}, {kTopLeft, kTopRight, kBottomLeft, kBottomRight},
        {kTopLeft, kTopRight, kCentre, kBottomLeft, kBottomRight},
        {kTopLeft, kTopRight, kMidLeft, kMidRight, kBottomLeft, kBottomRight}}};
    const double step = side / 4.0;
    for (const Place& place : kFaces[static_cast<std::size_t>(std::clamp(pips, 1, 6))])
        if (InCircle(x, y, x0 + place.u * step, y0 + place.v * step, side * 0.1))
            return Opaque(30, 30, 40);
    return Mix(face, Shade(face, 0.86), (x - x0 + y - y0) / (2 * side));
}

// Image 5: start random.
Rgba RandomImage(double x, double y)
{
    const Rgba front = Die(x, y, 11.0, 11.0, 19.0, 5, kWhite);
    if (front.a > 0)
        return front;
    return Die(x, y, 2.0, 2.0, 16.0, 3, Opaque(214, 222, 240));
}

// Image 6: a product that cannot be shown or started.
Rgba UnavailableImage(double x, double y)
{
    const Rgba badge = Badge(x, y, kRed, false);
    return badge.a > 0 ? badge : Monitor(x, y, true, nullptr);
}

using CellPainter = Rgba (*)(double, double);
constexpr std::array<CellPainter, kStripImageCount> kStripPainters {
    &MemberImage, &DownloadImage, &WebUpdateImage, &InstalledImage, &RandomImage, &UnavailableImage};

// [SECTION] Rendering

// Premultiplied average of `samples` x `samples` points per pixel.
template<typename Scene> Rgba Pixel(int px, int py, int samples, const Scene& scene)
{
    Rgba sum;
    for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
            const Rgba c = scene(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples);
            sum.r += c.r * c.a;
            sum.g += c.g * c.a;
            sum.b += c.b * c.a;
            sum.a += c.a;
        }
    }
    const double n = samples * samples;
    return {sum.r / n, sum.g / n, sum.b / n, sum.a / n};
}

uint8_t Byte(double v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

} // namespace

RgbaImage MakeProgramIcon(int side)
{
    if (side < 8 || side > 1024)
        throw std::invalid_argument("icon side out of range");
    RgbaImage image;
    image.width = image.height = side;
    image.rgba.resize(static_cast<std::size_t>(side) * side * 4);
    const double pixel = 2.0 / side;
    const auto scene = [&](double px, double py) {
        return PlanetIconSample(px * pixel - 1.0, py * pixel - 1.0, std::max(pixel, 0.02));
    };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const Rgba p = Pixel(x, y, 8, scene);
            uint8_t* out = &image.rgba[(static_cast<std::size_t>(y) * side + x) * 4];
            out[0] = Byte(p.a > 0 ? p.r / p.a : 0);
            out[1] = Byte(p.a > 0 ? p.g / p.a : 0);
            out[2] = Byte(p.a > 0 ? p.b / p.a : 0);
            out[3] = Byte(p.a);
        }
    }
    return image;
}

Image MakeImageStrip()
{
    Image strip;
    strip.name = "strip138.png";
    strip.width = kStripCell * kStripImageCount;
    strip.height = kStripCell;
    strip.rgb.resize(static_cast<std::size_t>(strip.width) * strip.height * 3);
    for (int cell = 0; cell < kStripImageCount; ++cell) {
        for (int y = 0; y < kStripCell; ++y) {
            for (int x = 0; x < kStripCell; ++x) {
                const Rgba p = Pixel(x, y, 8, kStripPainters[static_cast<std::size_t>(cell)]);
                uint8_t* out
                    = &strip.rgb[(static_cast<std::size_t>(y) * strip.width + cell * kStripCell + x) * 3];
                // The list's mask is one bit per pixel: mostly empty pixels
                // become the key colour, the rest are laid on the list's
                // white background so their soft edges stay clean there.
                if (p.a < 0.4) {
                    out[0] = kStripKey[0];
                    out[1] = kStripKey[1];
                    out[2] = kStripKey[2];
                    continue;
                }
                out[0] = Byte(p.r + (1.0 - p.a));
                out[1] = Byte(p.g + (1.0 - p.a));
                out[2] = Byte(p.b + (1.0 - p.a));
                // No drawn pixel may read as the key colour.
                if (out[0] == kStripKey[0] && out[1] == kStripKey[1] && out[2] == kStripKey[2])
                    out[0] = 254;
            }
        }
    }
    return strip;
}

} // namespace velmora::art
