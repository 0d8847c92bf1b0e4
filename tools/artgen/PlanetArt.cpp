// Paints the planet's art: the four surface quarters, the ring profiles and
// pattern layers, the two shadow textures and Titan.
//
// [SECTION] Scene geometry the pictures must agree with
// [SECTION] Small vector maths
// [SECTION] Hash noise
// [SECTION] Picture helpers
// [SECTION] Saturn's surface quarters
// [SECTION] Ring profile
// [SECTION] Ring pattern layers
// [SECTION] Planet's shadow on the rings
// [SECTION] Rings' shadow on the planet
// [SECTION] Titan
// [SECTION] Entry point

#include "Art.h"
#include "camera/Vec3.h"
#include "Noise.h"
#include "resources/ArchiveMembers.h"
#include "scene/SceneGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velmora::art {
namespace {

// [SECTION] Scene geometry the pictures must agree with

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

// The bodies, the rings and the Sun come from scene/SceneGeometry.h. The
// Sun's light is treated as coming from its centre, with the disc's size
// softening shadow edges.

constexpr int kSurfaceSize = 512;
constexpr int kRingWidth = 1024;
constexpr int kRingHeight = 64;
constexpr int kSquareSize = 1024;
constexpr int kTitanWidth = 1024;
constexpr int kTitanHeight = 512;

// [SECTION] Small vector maths
// Vec3 with its sums, scaling, Dot and Length is the scene's own.

// The same turns as glRotate about the coordinate axes (counter-clockwise
// seen from the positive end of the axis).
Vec3 RotateX(Vec3 v, double degrees)
{
    const double c = std::cos(degrees * kDeg);
    const double s = std::sin(degrees * kDeg);
    return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
}

Vec3 RotateY(Vec3 v, double degrees)
{
    const double c = std::cos(degrees * kDeg);
    const double s = std::sin(degrees * kDeg);
    return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
}

Vec3 RotateZ(Vec3 v, double degrees)
{
    const double c = std::cos(degrees * kDeg);
    const double s = std::sin(degrees * kDeg);
    return {c * v.x - s * v.y, s * v.x + c * v.y, v.z};
}

double Clamp01(double v)
{
    return std::clamp(v, 0.0, 1.0);
}
double Lerp(double a, double b, double k)
{
    return a + (b - a) * k;
}

double Smoothstep(double edge0, double edge1, double x)
{
    const double k = Clamp01((x - edge0) / (edge1 - edge0));
    return k * k * (3.0 - 2.0 * k);
}

struct Rgb {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

Rgb Mix(Rgb a, Rgb b, double k)
{
    return {Lerp(a.r, b.r, k), Lerp(a.g, b.g, k), Lerp(a.b, b.b, k)};
}
Rgb Scaled(Rgb a, double k)
{
    return {a.r * k, a.g * k, a.b * k};
}

// [SECTION] Hash noise
// Integer hashing (Noise.h's Hash32) keeps every picture identical from run to
// run and machine to machine; no library generator is involved.

// Large odd multipliers spread the three lattice coordinates over the word
// before one full avalanche; noise needs no more than that.
uint32_t HashLattice(int x, int y, int z, uint32_t seed)
{
    const uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343U ^ static_cast<uint32_t>(y) * 0xd8163841U
        ^ static_cast<uint32_t>(z) * 0xcb1ab31fU ^ seed * 0x9e3779b9U;
    return Hash32(h);
}

// A lattice value in [-1, 1].
double LatticeValue(int x, uint32_t seed)
{
    return static_cast<double>(HashLattice(x, 0, 0, seed) >> 8) / 8388607.5 - 1.0;
}

double Fade(double t)
{
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

int FloorInt(double v)
{
    return static_cast<int>(std::floor(v));
}

// One-dimensional value noise in [-1, 1]: the radial structure of the rings.
double Noise1(double x, uint32_t seed)
{
    const int i = FloorInt(x);
    const double f = x - i;
    return Lerp(LatticeValue(i, seed), LatticeValue(i + 1, seed), Fade(f));
}

double Fbm1(double x, int octaves, uint32_t seed)
{
    double sum = 0.0;
    double amplitude = 0.5;
    double norm = 0.0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * Noise1(x, seed + static_cast<uint32_t>(o) * 101U);
        norm += amplitude;
        x *= 2.03;
        amplitude *= 0.5;
    }
    return sum / norm;
}

// The twelve cube-edge directions (four repeated to make sixteen, so a hash
// picks one with a shift) give gradient noise without the grid-aligned
// blockiness of plain value noise.
constexpr std::array<std::array<double, 3>, 16> kGradients = {{
    {1, 1, 0},
    {-1, 1, 0},
    {1, -1, 0},
    {-1, -1, 0},
    {1, 0, 1},
    {-1, 0, 1},
    {1, 0, -1},
    {-1, 0, -1},
    {0, 1, 1},
    {0, -1, 1},
    {0, 1, -1},
    {0, -1, -1},
    {1, 1, 0},
    {-1, 1, 0},
    {0, -1, 1},
    {0, -1, -1},
}};

double GradientDot(uint32_t hash, double fx, double fy, double fz)
{
    const auto& g = kGradients[Hash32(hash) >> 28];
    return g[0] * fx + g[1] * fy + g[2] * fz;
}

// Three-dimensional gradient noise, roughly in [-1, 1]. The corner hashes are
// HashLattice's, with the per-axis products formed once per call.
double Noise3(double x, double y, double z, uint32_t seed)
{
    const int ix = FloorInt(x);
    const int iy = FloorInt(y);
    const int iz = FloorInt(z);
    const double fx = x - ix;
    const double fy = y - iy;
    const double fz = z - iz;
    const uint32_t x0 = static_cast<uint32_t>(ix) * 0x8da6b343U;
    const uint32_t x1 = x0 + 0x8da6b343U;
    const uint32_t y0 = static_cast<uint32_t>(iy) * 0xd8163841U;
    const uint32_t y1 = y0 + 0xd8163841U;
    const uint32_t s = seed * 0x9e3779b9U;
    const uint32_t z0 = (static_cast<uint32_t>(iz) * 0xcb1ab31fU) ^ s;
    const uint32_t z1 = ((static_cast<uint32_t>(iz) + 1U) * 0xcb1ab31fU) ^ s;
    const double c000 = GradientDot(x0 ^ y0 ^ z0, fx, fy, fz);
    const double c100 = GradientDot(x1 ^ y0 ^ z0, fx - 1, fy, fz);
    const double c010 = GradientDot(x0 ^ y1 ^ z0, fx, fy - 1, fz);
    const double c110 = GradientDot(x1 ^ y1 ^ z0, fx - 1, fy - 1, fz);
    const double c001 = GradientDot(x0 ^ y0 ^ z1, fx, fy, fz - 1);
    const double c101 = GradientDot(x1 ^ y0 ^ z1, fx - 1, fy, fz - 1);
    const double c011 = GradientDot(x0 ^ y1 ^ z1, fx, fy - 1, fz - 1);
    const double c111 = GradientDot(x1 ^ y1 ^ z1, fx - 1, fy - 1, fz - 1);
    const double u = Fade(fx);
    const double v = Fade(fy);
    const double w = Fade(fz);
    const double x00 = Lerp(c000, c100, u);
    const double x10 = Lerp(c010, c110, u);
    const double x01 = Lerp(c001, c101, u);
    const double x11 = Lerp(c011, c111, u);
    return Lerp(Lerp(x00, x10, v), Lerp(x01, x11, v), w);
}

double Fbm3(Vec3 p, int octaves, uint32_t seed)
{
    double sum = 0.0;
    double amplitude = 0.5;
    double norm = 0.0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * Noise3(p.x, p.y, p.z, seed + static_cast<uint32_t>(o) * 7919U);
        norm += amplitude;
        p = p * 2.07;
        amplitude *= 0.5;
    }
    return sum / norm;
}

// [SECTION] Picture helpers

Image MakeImage(const char* name, int width, int height)
{
    Image image;
    image.name = name;
    image.width = width;
    image.height = height;
    image.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3U, 0);
    return image;
}

uint8_t ToByte(double v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

void Put(Image& image, int x, int y, Rgb c)
{
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 3U;
    image.rgb[at] = ToByte(c.r);
    image.rgb[at + 1] = ToByte(c.g);
    image.rgb[at + 2] = ToByte(c.b);
}

Rgb Grey(double v)
{
    return {v, v, v};
}

// Point on the unit sphere for a longitude and latitude in degrees.
Vec3 SpherePoint(double lonDeg, double latDeg)
{
    const double lon = lonDeg * kDeg;
    const double lat = latDeg * kDeg;
    return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

// [SECTION] Saturn's surface quarters
//
// The sphere mesh samples its quarter textures at s = lon / 180 * 0.998 + 0.5
// over the x >= 0 half (lon -90..90 degrees) and at t = lat / 180 * 1.996 +
// 0.001 from the equator (t = 0, the picture's first row) to the pole. The x
// <= 0 quarters are the same grid turned by 180 degrees, and the southern ones
// are mirrored in z with t flipped, so their first row is the south pole and
// their last row the equator. Texel centres are placed on -90..90 degrees and
// 0..90 degrees exactly (the 0.1 % scale of the mesh is below half a texel),
// so the edge texels of neighbouring quarters hold the very same samples and
// clamped filtering shows no seam.

struct QuarterPlacement {
    bool north;
    double lonOffset; // 180 for the x <= 0 half of the sphere
};

constexpr std::array<QuarterPlacement, 4> kQuarterPlacement = {{
    {false, 180.0}, // surface0: south, x <= 0
    {false, 0.0}, // surface1: south, x >= 0
    {true, 180.0}, // surface2: north, x <= 0
    {true, 0.0}, // surface3: north, x >= 0
}};

struct BandStop {
    double lat;
    Rgb colour;
};

// Belts and zones by latitude, south to north, in texture values. The scene
// lights the planet over-bright (diffuse 2.0), so the brightest zone stays well
// below white to keep its shading from clipping.
constexpr std::array<BandStop, 31> kSaturnBands = {{
    {-90.0, {86, 78, 69}},
    {-85.0, {97, 87, 74}},
    {-78.0, {113, 102, 84}},
    {-71.0, {106, 93, 74}},
    {-64.0, {123, 110, 86}},
    {-57.0, {112, 97, 74}},
    {-50.0, {130, 115, 87}},
    {-44.0, {140, 125, 95}},
    {-38.0, {119, 100, 73}},
    {-32.0, {138, 119, 87}},
    {-26.0, {149, 130, 95}},
    {-20.0, {125, 100, 67}},
    {-14.0, {113, 89, 58}},
    {-9.0, {140, 119, 82}},
    {-4.5, {158, 141, 104}},
    {0.0, {164, 149, 112}},
    {4.5, {160, 144, 106}},
    {9.0, {140, 119, 82}},
    {13.5, {112, 87, 58}},
    {18.0, {119, 95, 63}},
    {24.0, {147, 128, 93}},
    {31.0, {126, 108, 78}},
    {38.0, {140, 125, 97}},
    {45.0, {121, 110, 91}},
    {52.0, {128, 121, 106}},
    {60.0, {108, 106, 102}},
    {67.0, {97, 100, 106}},
    {74.0, {91, 99, 110}},
    {78.0, {73, 80, 93}},
    {82.0, {95, 104, 117}},
    {90.0, {67, 71, 82}},
}};

Rgb SaturnBandColour(double lat)
{
    lat = std::clamp(lat, -90.0, 90.0);
    std::size_t hi = 1;
    while (hi + 1 < kSaturnBands.size() && kSaturnBands[hi].lat < lat) {
        ++hi;
    }
    const BandStop& a = kSaturnBands[hi - 1];
    const BandStop& b = kSaturnBands[hi];
    return Mix(a.colour, b.colour, Smoothstep(a.lat, b.lat, lat));
}

struct Storm {
    double lon;
    double lat;
    double halfLon; // degrees of longitude
    double halfLat;
    double strength; // > 0 brightens, < 0 darkens
};

// A few pale ovals and one dark spot, as Saturn shows between its bands.
constexpr std::array<Storm, 6> kStorms = {{
    {-35.0, -41.5, 3.2, 1.1, 0.22},
    {62.0, -41.0, 1.6, 0.7, 0.16},
    {140.0, 33.5, 2.6, 0.9, 0.14},
    {-120.0, -33.0, 1.8, 0.8, -0.12},
    {-150.0, 59.0, 2.0, 0.8, 0.12},
    {100.0, -56.0, 1.4, 0.6, 0.12},
}};

double WrapDegrees(double d)
{
    while (d >= 180.0) {
        d -= 360.0;
    }
    while (d < -180.0) {
        d += 360.0;
    }
    return d;
}

// The latitude a point seems to have after the north polar hexagon bends the
// bands: inside about 16 degrees of the pole the circles give way to the
// six-sided jet.
double HexagonLatitude(double lon, double lat)
{
    const double colat = 90.0 - lat;
    if (colat > 24.0) {
        return lat;
    }
    const double sector = std::fmod(lon + 3600.0 + 30.0, 60.0) - 30.0;
    const double hexColat = colat * std::cos(sector * kDeg) / std::cos(30.0 * kDeg) * 0.93;
    const double k = Smoothstep(24.0, 16.0, colat);
    return 90.0 - Lerp(colat, hexColat, k);
}

Rgb SaturnColour(double lon, double lat)
{
    const Vec3 p = SpherePoint(lon, lat);
    const double latRad = lat * kDeg;
    // Turbulence: the bands are displaced north and south by noise that is
    // long in longitude and short in latitude, strongest in the equatorial
    // belts where Saturn's jets shear hardest.
    // The poles are single points: the displacement dies away towards them.
    const double beltDistance = (std::abs(lat) - 14.0) / 9.0;
    const double shear = (0.55 + 0.75 * std::exp(-beltDistance * beltDistance))
        * Smoothstep(0.0, 12.0, 90.0 - std::abs(lat));
    const Vec3 warpAt {p.x * 3.0, p.y * 3.0, latRad * 22.0};
    double warp = Fbm3(warpAt, 3, 11U) * 2.0 * shear;
    warp += Noise3(p.x * 9.0, p.y * 9.0, latRad * 70.0, 12U) * 0.45 * shear;
    const double latWarped = HexagonLatitude(lon, lat + warp);

    Rgb colour = SaturnBandColour(latWarped);
    // Thin stripes inside the broad bands.
    // Inside the hexagon only the jet itself is sharp.
    const double stripes = Fbm1(latWarped * 0.85, 4, 21U) * (1.0 - 0.7 * Smoothstep(74.0, 84.0, lat));
    colour = Scaled(colour, 1.0 + 0.085 * stripes);
    // Soft mottling so that large zones are not flat.
    const double mottle = Fbm3(Vec3 {p.x * 6.0, p.y * 6.0, latRad * 30.0}, 2, 31U);
    colour = Scaled(colour, 1.0 + 0.04 * mottle);
    // Warm/cool drift between neighbouring stripes.
    const double tint = Fbm1(latWarped * 0.35 + 40.0, 3, 41U);
    colour.r *= 1.0 + 0.03 * tint;
    colour.b *= 1.0 - 0.05 * tint;

    for (const Storm& s : kStorms) {
        const double dLat = (lat + warp * 0.5 - s.lat) / s.halfLat;
        if (std::abs(dLat) > 4.0) {
            continue;
        }
        const double dLon = WrapDegrees(lon - s.lon) * std::cos(s.lat * kDeg) / s.halfLon;
        const double weight = std::exp(-(dLon * dLon + dLat * dLat));
        if (weight > 1e-4) {
            const Rgb target = s.strength > 0.0 ? Rgb {196, 186, 162} : Rgb {92, 74, 52};
            colour = Mix(colour, target, weight * std::abs(s.strength) * 2.5);
        }
    }
    // The dark polar vortex.
    colour = Scaled(colour, 1.0 - 0.28 * Smoothstep(3.0, 0.0, 90.0 - lat));
    return colour;
}

Image PaintSurfaceQuarter(int index)
{
    const QuarterPlacement& q = kQuarterPlacement[static_cast<std::size_t>(index)];
    Image image = MakeImage(ArchiveMemberName(SurfaceMember(index)), kSurfaceSize, kSurfaceSize);
    const double last = kSurfaceSize - 1;
    for (int row = 0; row < kSurfaceSize; ++row) {
        // Adding 0.0 turns the south's -0.0 at the equator into +0.0, so both
        // hemispheres evaluate the equator bit for bit alike.
        const double lat = q.north ? 90.0 * row / last : -90.0 * (last - row) / last + 0.0;
        for (int col = 0; col < kSurfaceSize; ++col) {
            const double lon = WrapDegrees(-90.0 + 180.0 * col / last + q.lonOffset);
            Put(image, col, row, SaturnColour(lon, lat));
        }
    }
    return image;
}

// [SECTION] Ring profile
//
// Radii in planet radii. The profile follows the measured ring system: the
// faint C ring with its plateaus and the Maxwell gap, the dense B ring, the
// Cassini division (Huygens gap at its inner edge), the A ring with the Encke
// and Keeler gaps, the nearly empty Roche division and the narrow F ring.

// A smooth-edged band of value 1 between lo and hi.
double Band(double r, double lo, double hi, double soft = 0.0004)
{
    return Smoothstep(lo - soft, lo + soft, r) * (1.0 - Smoothstep(hi - soft, hi + soft, r));
}

double Ringlet(double r, double centre, double halfWidth)
{
    const double d = (r - centre) / halfWidth;
    return std::abs(d) < 6.0 ? std::exp(-d * d) : 0.0;
}

struct PlateauRange {
    double lo;
    double hi;
    double tau;
};

constexpr std::array<PlateauRange, 6> kCRingPlateaus = {{
    {1.3480, 1.3560, 0.30},
    {1.4010, 1.4090, 0.38},
    {1.4200, 1.4290, 0.32},
    {1.4620, 1.4720, 0.42},
    {1.4770, 1.4880, 0.36},
    {1.4960, 1.5040, 0.44},
}};

// Normal optical depth of the ring material.
double RingOpticalDepth(double r)
{
    // Irregular fine structure, strongest in the B ring.
    const double fine
        = 0.55 * Noise1(r * 140.0, 51U) + 0.3 * Noise1(r * 520.0, 52U) + 0.15 * Noise1(r * 1700.0, 53U);
    double tau = 0.0;

    // C ring.
    double c = 0.05 + 0.06 * Smoothstep(1.2388, 1.50, r);
    for (const PlateauRange& p : kCRingPlateaus) {
        c = std::max(c, p.tau * Band(r, p.lo, p.hi));
    }
    c += 0.35 * Ringlet(r, 1.2917, 0.0012); // Titan ringlet
    c *= 1.0 - 0.9 * Band(r, 1.4501, 1.4545); // Maxwell gap
    c += 0.5 * Ringlet(r, 1.4523, 0.0006); // and its ringlet
    c = std::max(c, Lerp(0.12, 0.45, Smoothstep(1.505, 1.527, r))); // ramp into the B ring
    tau += c * (1.0 + 0.25 * fine) * Band(r, 1.2388, 1.5270);

    // B ring: rising from the inner B1 to the opaque B3 core.
    double b = 1.3 + 0.5 * Smoothstep(1.527, 1.60, r);
    b = Lerp(b, 2.4, Smoothstep(1.62, 1.66, r));
    b = Lerp(b, 4.2, Smoothstep(1.74, 1.78, r));
    b = Lerp(b, 2.2, Smoothstep(1.85, 1.88, r));
    tau += b * std::exp(0.55 * fine + 0.25 * Noise1(r * 60.0, 54U)) * Band(r, 1.5270, 1.9510);

    // Cassini division.
    double cd = 0.07 + 0.05 * Fbm1(r * 300.0, 2, 55U);
    cd += 0.55 * Ringlet(r, 1.9545, 0.0010); // Huygens ringlet
    cd *= Smoothstep(1.9560, 1.9600, r) + Ringlet(r, 1.9545, 0.0010);
    cd += 0.18 * Ringlet(r, 1.9850, 0.0016) + 0.14 * Ringlet(r, 1.9940, 0.0010);
    cd += Lerp(0.0, 0.45, Smoothstep(2.012, 2.027, r));
    tau += cd * Band(r, 1.9510, 2.0270);

    // A ring, with density-wave ripples and the Encke and Keeler gaps.
    double a = Lerp(0.55, 0.78, Smoothstep(2.03, 2.15, r));
    a = Lerp(a, 0.55, Smoothstep(2.18, 2.22, r));
    a *= 1.0 + 0.12 * fine;
    a *= 1.0 + 0.10 * std::sin(r * 2600.0) * Ringlet(r, 2.095, 0.006);
    a *= 1.0 + 0.10 * std::sin(r * 3100.0) * Ringlet(r, 2.180, 0.005);
    a *= 1.0 - 0.97 * Band(r, 2.2139, 2.2193, 0.0003);
    a *= 1.0 - 0.7 * Band(r, 2.2647, 2.2655, 0.0002);
    tau += a * Band(r, 2.0270, 2.2690);

    // Roche division haze and the F ring.
    tau += 0.012 * Band(r, 2.2690, 2.3120, 0.002);
    tau += 0.8 * Ringlet(r, 2.3190, 0.0011) + 0.05 * Ringlet(r, 2.3190, 0.0040);
    // Keep the last texels empty: repeat wrapping joins them to the inner edge.
    return tau * (1.0 - Smoothstep(2.3220, 2.3236, r));
}

// Colour of the ring particles: grey-brown C ring, warm B ring, neutral
// Cassini division, slightly paler A ring.
Rgb RingAlbedo(double r)
{
    const Rgb cRing {168, 156, 144};
    const Rgb bInner {236, 214, 180};
    const Rgb bCore {255, 236, 200};
    const Rgb division {132, 126, 120};
    const Rgb aRing {226, 210, 184};
    const Rgb fRing {214, 208, 200};
    Rgb colour = Mix(cRing, bInner, Smoothstep(1.515, 1.535, r));
    colour = Mix(colour, bCore, Smoothstep(1.62, 1.75, r));
    colour = Mix(colour, division, Smoothstep(1.948, 1.956, r));
    colour = Mix(colour, aRing, Smoothstep(2.015, 2.030, r));
    colour = Mix(colour, fRing, Smoothstep(2.28, 2.30, r));
    // Brightness bands that do not follow the optical depth: the B ring is
    // opaque throughout yet shows dozens of light and dark bands.
    const double bBands = 0.16 * Noise1(r * 90.0, 56U) + 0.08 * Noise1(r * 310.0, 57U);
    const double aBands = 0.06 * Noise1(r * 220.0, 58U);
    return Scaled(
        colour, 1.0 + bBands * Band(r, 1.5270, 1.9510, 0.002) + aBands * Band(r, 2.0270, 2.2690, 0.002));
}

// How much of what lies behind shows through (the mask), and how bright the
// lit ring material looks, from the optical depth.
double MaskTransmission(double tau)
{
    return std::exp(-1.4 * tau);
}

// The power lifts the faint C ring and Cassini division so they read as
// dim grey ring rather than black.
double RingBrightness(double tau)
{
    return std::pow(1.0 - std::exp(-1.6 * tau), 0.6);
}

struct RingSample {
    double transmission = 1.0;
    Rgb colour;
};

// Average over the texel so that the gap edges are anti-aliased.
RingSample SampleRingTexel(double r0, double r1)
{
    constexpr int kSub = 16;
    RingSample sum;
    sum.transmission = 0.0;
    for (int k = 0; k < kSub; ++k) {
        const double r = Lerp(r0, r1, (k + 0.5) / kSub);
        const double tau = RingOpticalDepth(r);
        sum.transmission += MaskTransmission(tau);
        const Rgb c = Scaled(RingAlbedo(r), RingBrightness(tau));
        sum.colour = {sum.colour.r + c.r, sum.colour.g + c.g, sum.colour.b + c.b};
    }
    sum.transmission /= kSub;
    sum.colour = Scaled(sum.colour, 1.0 / kSub);
    // Clip by the brightest channel so bright bands keep their hue.
    const double peak = std::max({sum.colour.r, sum.colour.g, sum.colour.b});
    if (peak > 255.0) {
        sum.colour = Scaled(sum.colour, 255.0 / peak);
    }
    return sum;
}

// The rings draw texture s = 0 at the inner radius and s = 1 at the outer,
// with t fixed at 0; repeat wrapping blends the first and last columns and
// rows there, so every row is the same profile and both end columns are
// empty ring (transparent mask, black colour).
void PaintRingProfiles(Image& colour, Image& mask)
{
    const double step = (kRingOuterRadius - kRingInnerRadius) / kRingWidth;
    std::vector<RingSample> profile(kRingWidth);
    for (int col = 0; col < kRingWidth; ++col) {
        profile[static_cast<std::size_t>(col)]
            = SampleRingTexel(kRingInnerRadius + col * step, kRingInnerRadius + (col + 1) * step);
    }
    profile.front() = RingSample {};
    profile.back() = RingSample {};
    for (int row = 0; row < kRingHeight; ++row) {
        for (int col = 0; col < kRingWidth; ++col) {
            const RingSample& s = profile[static_cast<std::size_t>(col)];
            Put(colour, col, row, s.colour);
            Put(mask, col, row, Grey(255.0 * s.transmission));
        }
    }
}

// Fine table of the mask transmission for the shadow painters.
class TransmissionTable {
public:
    TransmissionTable()
    {
        for (std::size_t i = 0; i < kSamples; ++i) {
            const double r0 = kRingInnerRadius
                + (kRingOuterRadius - kRingInnerRadius) * static_cast<double>(i) / kSamples;
            const double r1 = kRingInnerRadius
                + (kRingOuterRadius - kRingInnerRadius) * static_cast<double>(i + 1) / kSamples;
            values_[i] = SampleRingTexel(r0, r1).transmission;
        }
    }

    double At(double r) const
    {
        const double x = (r - kRingInnerRadius) / (kRingOuterRadius - kRingInnerRadius) * kSamples - 0.5;
        if (x <= 0.0 || x >= kSamples - 1.0) {
            return 1.0;
        }
        const auto i = static_cast<std::size_t>(x);
        return Lerp(values_[i], values_[i + 1], x - static_cast<double>(i));
    }

private:
    static constexpr std::size_t kSamples = 4096;
    std::array<double, kSamples> values_ {};
};

// Ring density in 0..1, to weight the pattern layers (empty gaps stay empty).
double RingCover(double r)
{
    return RingBrightness(RingOpticalDepth(r));
}

// [SECTION] Ring pattern layers
//
// Both layers are 1024 x 1024 squares spanning the outer ring diameter,
// centred on the planet and turning about it, so the patterns are painted in
// polar form: arcs long in azimuth and thin in radius (clumps and wakes in
// the ring material), plus faint radial spokes over the B ring. Outside the
// rings the layers are neutral (white to multiply, black to add), which also
// keeps the repeat-wrapped square edges clean.

double SpokeField(double theta, double r)
{
    // Wedges that widen outwards, a few tens of degrees apart.
    constexpr std::array<double, 7> kSpokeAngles = {0.3, 0.9, 1.35, 2.7, 3.4, 4.6, 5.5};
    double field = 0.0;
    for (std::size_t i = 0; i < kSpokeAngles.size(); ++i) {
        double d = theta - kSpokeAngles[i] - 0.25 * (r - 1.8);
        d = std::remainder(d, 2.0 * kPi);
        const double width = 0.035 + 0.05 * (r - 1.7);
        const double strength = 0.5 + 0.5 * LatticeValue(static_cast<int>(i), 61U);
        field += strength * std::exp(-(d * d) / (width * width));
    }
    return field * Band(r, 1.70, 1.93, 0.03);
}

void PaintRingPatterns(Image& white, Image& black)
{
    std::vector<double> cover(kSquareSize * 2);
    for (std::size_t i = 0; i < cover.size(); ++i) {
        cover[i] = RingCover(
            kRingOuterRadius * (static_cast<double>(i) + 0.5) / static_cast<double>(cover.size()));
    }
    for (int row = 0; row < kSquareSize; ++row) {
        const double y = (2.0 * (row + 0.5) / kSquareSize - 1.0) * kRingOuterRadius;
        for (int col = 0; col < kSquareSize; ++col) {
            const double x = (2.0 * (col + 0.5) / kSquareSize - 1.0) * kRingOuterRadius;
            const double r = std::sqrt(x * x + y * y);
            const double inside = Band(r, kRingInnerRadius + 0.004, kRingOuterRadius - 0.006, 0.003);
            if (inside <= 0.0) {
                Put(white, col, row, Grey(255.0));
                Put(black, col, row, Grey(0.0));
                continue;
            }
            const double cosT = x / r;
            const double sinT = y / r;
            const auto ci
                = std::min(cover.size() - 1, static_cast<std::size_t>(r / kRingOuterRadius * cover.size()));
            const double density = cover[ci] * inside;

            // Darkening layer: clumps along the orbits and spokes.
            const double clumps = Fbm3(Vec3 {cosT * 6.0, sinT * 6.0, r * 110.0}, 3, 71U);
            const double wakes = Noise3(cosT * 18.0, sinT * 18.0, r * 420.0, 72U);
            double shade = 0.08 * Smoothstep(-0.3, 0.6, clumps) + 0.05 * (wakes * 0.5 + 0.5);
            if (r > 1.65 && r < 1.98) {
                shade += 0.07 * SpokeField(std::atan2(sinT, cosT), r);
            }
            const double k = Clamp01(shade * density);
            Put(white, col, row, Rgb {255.0 * (1.0 - k), 255.0 * (1.0 - k * 1.06), 255.0 * (1.0 - k * 1.15)});

            // Brightening layer: a different set of arcs, sparser and warmer.
            const double glints = Fbm3(Vec3 {cosT * 5.0 + 9.0, sinT * 5.0, r * 130.0}, 3, 81U);
            const double fineArcs = Noise3(cosT * 24.0, sinT * 24.0, r * 520.0, 82U);
            const double lift = Smoothstep(-0.05, 0.7, glints);
            const double add = (24.0 * lift * lift + 8.0 * (fineArcs * 0.5 + 0.5)) * density;
            Put(black, col, row, Rgb {add, add * 0.94, add * 0.84});
        }
    }
}

// [SECTION] Planet's shadow on the rings
//
// The scene lays this square over the ring plane turned by -45 degrees about
// z: texture (s, t) lands at Rz(-45) * ((2s - 1) R, (2t - 1) R, 0), R the outer
// ring radius. The Sun stands at azimuth 45 degrees, so the shadow, which
// points away from it, runs from the centre towards t = 0: the first rows of
// the picture, centred on its middle column. Each texel tests whether the
// line from its ring-plane point to the Sun passes through the flattened
// planet (done in coordinates where the planet is a unit sphere), with a soft
// edge as wide as the Sun's disc seen from there.

constexpr Rgb kUmbra {20, 18, 14}; // faint planet-shine, not black

double PlanetShadowFactor(Vec3 ringPoint)
{
    const Vec3 p {ringPoint.x, ringPoint.y, ringPoint.z / kPlanetPolarScale};
    const Vec3 sun {kSunPosition.x, kSunPosition.y, kSunPosition.z / kPlanetPolarScale};
    const Vec3 toSun = sun - p;
    const double distance = Length(toSun);
    const Vec3 dir = toSun * (1.0 / distance);
    const double along = -Dot(p, dir);
    if (along <= 0.0) {
        return 1.0; // the planet is behind this point, away from the Sun
    }
    const double miss = Length(p + dir * along);
    const double sunAngle
        = kSunRadius / Length(Vec3 {kSunPosition.x, kSunPosition.y, kSunPosition.z} - ringPoint);
    const double soft = along * sunAngle + 0.003;
    return Smoothstep(1.0 - soft, 1.0 + soft, miss);
}

void PaintShadowOnRing(Image& image)
{
    for (int row = 0; row < kSquareSize; ++row) {
        const double t = (row + 0.5) / kSquareSize;
        for (int col = 0; col < kSquareSize; ++col) {
            const double s = (col + 0.5) / kSquareSize;
            const Vec3 local {(2.0 * s - 1.0) * kRingOuterRadius, (2.0 * t - 1.0) * kRingOuterRadius, 0.0};
            const double lit = PlanetShadowFactor(RotateZ(local, -45.0));
            Put(image, col, row, Mix(kUmbra, Grey(255.0), lit));
        }
    }
}

// [SECTION] Rings' shadow on the planet
//
// The scene draws a radius-0.5 half-sphere (mesh z <= 0) with texture (x +
// 0.5, y + 0.5) from its mesh position, turned by Rx(-90) * Ry(-135) and scaled
// by 2: a unit half-sphere whose dome faces the Sun's horizontal direction
// (1, 1, 0) / sqrt 2, with s along (-1, 1, 0) / sqrt 2 and t along -z, so the
// first row is the north. It multiplies whatever lies behind its front faces.
// For each texel we take the dome point, drop it radially onto the flattened
// planet (the dome and the planet coincide at the equator, near where the ring
// shadow falls, so any camera sees nearly the same planet point behind the
// dome) and follow the line from there to the Sun: where it crosses the ring
// plane, the mask's transmission at that radius is the shadow, averaged over
// the Sun's disc.

double RingShadowFactor(const TransmissionTable& table, Vec3 surface)
{
    if (surface.z >= 0.0) {
        return 1.0; // the Sun shines on the north face of the rings
    }
    const Vec3 sun {kSunPosition.x, kSunPosition.y, kSunPosition.z};
    const Vec3 toSun = sun - surface;
    const Vec3 normal {surface.x, surface.y, surface.z / (kPlanetPolarScale * kPlanetPolarScale)};
    const double facing = Dot(normal, toSun) / (Length(normal) * Length(toSun));
    if (facing <= 0.0) {
        return 1.0; // night side: no sunlight to take away
    }
    const double k = -surface.z / toSun.z;
    const Vec3 crossing = surface + toSun * k;
    const double radius = std::sqrt(crossing.x * crossing.x + crossing.y * crossing.y);
    // The Sun's disc spreads the crossing radius by the disc's angle times
    // the distance travelled below the rings.
    const double spread = Length(toSun * k) * kSunRadius / Length(toSun);
    constexpr std::array<double, 5> kTaps = {-0.8, -0.4, 0.0, 0.4, 0.8};
    constexpr std::array<double, 5> kWeights = {0.14, 0.22, 0.28, 0.22, 0.14};
    double transmission = 0.0;
    for (std::size_t i = 0; i < kTaps.size(); ++i) {
        transmission += kWeights[i] * table.At(radius + kTaps[i] * spread);
    }
    return Lerp(1.0, transmission, Smoothstep(0.0, 0.04, facing));
}

void PaintRingsShadow(Image& image, const TransmissionTable& table)
{
    for (int row = 0; row < kSquareSize; ++row) {
        const double my = (row + 0.5) / kSquareSize - 0.5;
        for (int col = 0; col < kSquareSize; ++col) {
            const double mx = (col + 0.5) / kSquareSize - 0.5;
            const double dome = 0.25 - mx * mx - my * my;
            if (dome <= 0.0) {
                Put(image, col, row, Grey(255.0)); // outside the half-sphere's outline
                continue;
            }
            const Vec3 mesh {mx, my, -std::sqrt(dome)};
            const Vec3 onDome = RotateX(RotateY(mesh * 2.0, -135.0), -90.0);
            const double scale = 1.0
                / std::sqrt(onDome.x * onDome.x + onDome.y * onDome.y
                    + onDome.z * onDome.z / (kPlanetPolarScale * kPlanetPolarScale));
            const double v = RingShadowFactor(table, onDome * scale);
            // A faint warm cast: light through the ring particles reddens.
            Put(image, col, row, Rgb {255.0 * v, 255.0 * std::pow(v, 1.04), 255.0 * std::pow(v, 1.10)});
        }
    }
}

// [SECTION] Titan
//
// The sphere mesh spreads one picture over the whole body: s runs from
// longitude 90 degrees (s = 0) once round through 270 to 450, t from the south
// pole (the first row) to the north pole (the last). The colours come from
// noise on the sphere itself, so the s = 0 / 1 seam and the poles are smooth.

Rgb TitanColour(double lon, double lat)
{
    const Vec3 p = SpherePoint(lon, lat);
    const Rgb haze {170, 116, 54};
    Rgb colour = haze;
    // Broad darker lowlands near the equator, seen faintly through the haze.
    const double regions = Fbm3(p * 1.7, 3, 91U) + 0.1 * Noise3(p.x * 6.0, p.y * 6.0, p.z * 6.0, 92U);
    const double lowland = Smoothstep(0.0, 0.4, regions) * Smoothstep(38.0, 8.0, std::abs(lat));
    colour = Mix(colour, Rgb {122, 78, 36}, 0.3 * lowland);
    // Slightly darker north and a dusky polar hood collar.
    colour = Scaled(colour, 1.0 - 0.06 * Smoothstep(-20.0, 60.0, lat));
    colour = Mix(colour, Rgb {110, 72, 34}, 0.25 * Smoothstep(52.0, 64.0, lat) * Smoothstep(80.0, 68.0, lat));
    // Faint haze streaks along the latitude circles.
    colour = Scaled(colour, 1.0 + 0.025 * Fbm3(Vec3 {p.x * 2.0, p.y * 2.0, lat * kDeg * 5.0}, 1, 93U));
    return colour;
}

void PaintTitan(Image& image)
{
    for (int row = 0; row < kTitanHeight; ++row) {
        const double t = (row + 0.5) / kTitanHeight;
        const double lat = std::clamp((t - 0.5) * 180.0 / kMeshLongitudeScale, -90.0, 90.0);
        for (int col = 0; col < kTitanWidth; ++col) {
            const double s = (col + 0.5) / kTitanWidth;
            Put(image, col, row, TitanColour(WrapDegrees(90.0 + 360.0 * s), lat));
        }
    }
}

} // namespace

// [SECTION] Entry point

std::vector<Image> MakePlanetArt()
{
    std::vector<Image> images;
    images.reserve(11);
    for (int q = 0; q < 4; ++q) {
        images.push_back(PaintSurfaceQuarter(q));
    }

    Image rings = MakeImage(ArchiveMemberName(ArchiveMemberId::Rings), kRingWidth, kRingHeight);
    Image mask = MakeImage(ArchiveMemberName(ArchiveMemberId::RingsMask), kRingWidth, kRingHeight);
    PaintRingProfiles(rings, mask);
    images.push_back(std::move(rings));
    images.push_back(std::move(mask));

    Image black = MakeImage(ArchiveMemberName(ArchiveMemberId::SpotsBlack), kSquareSize, kSquareSize);
    Image white = MakeImage(ArchiveMemberName(ArchiveMemberId::SpotsWhite), kSquareSize, kSquareSize);
    PaintRingPatterns(white, black);
    images.push_back(std::move(black));
    images.push_back(std::move(white));

    Image shadowOnRing
        = MakeImage(ArchiveMemberName(ArchiveMemberId::ShadowOnRing), kSquareSize, kSquareSize);
    PaintShadowOnRing(shadowOnRing);
    images.push_back(std::move(shadowOnRing));

    const auto table = std::make_unique<TransmissionTable>();
    Image ringsShadow = MakeImage(ArchiveMemberName(ArchiveMemberId::RingsShadow), kSquareSize, kSquareSize);
    PaintRingsShadow(ringsShadow, *table);
    images.push_back(std::move(ringsShadow));

    Image titan = MakeImage(ArchiveMemberName(ArchiveMemberId::Titan), kTitanWidth, kTitanHeight);
    PaintTitan(titan);
    images.push_back(std::move(titan));
    return images;
}

} // namespace velmora::art
