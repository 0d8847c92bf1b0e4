// The lens-flare, limb-glow and limb-darkening sprites.
//
// The flare sprites are added on black, so everything fades to pure black
// well inside the square; the sprite's colour comes mostly from the row that
// draws it, so the pictures stay near neutral except where the tint is the
// point (chromatic fringes, the warm limb glow).
//
// Texture space used below: x = 2s - 1 and y = 2t - 1, so (1, 1) is the
// texture corner (s, t) = (1, 1). Picture row 0 is uploaded as t = 0, which
// puts y = +1 on the last row.
//
// [SECTION] Painting helpers
// [SECTION] Flare sprites
// [SECTION] Limb sprites
// [SECTION] Table of sprites

#include "Art.h"
#include "Noise.h"
#include "resources/ArchiveMembers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace velmora::art {

namespace {

// [SECTION] Painting helpers

using Rgb = std::array<double, 3>;
using Shader = Rgb (*)(double x, double y);

constexpr double kPi = std::numbers::pi;

// 0 at edge0, 1 at edge1, smooth between; either order.
double Smoothstep(double edge0, double edge1, double v)
{
    const double t = std::clamp((v - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double Gauss(double d, double sigma)
{
    return std::exp(-(d * d) / (sigma * sigma));
}

Rgb Scaled(const Rgb& c, double k)
{
    return {c[0] * k, c[1] * k, c[2] * k};
}

// Zero over the outermost pixel of each side and a soft fade inside it, so
// an additive sprite's square never shows its edges.
double BorderWindow(double x, double y, int width, int height, double fade)
{
    const double ex = 1.0 - 2.0 / width;
    const double ey = 1.0 - 2.0 / height;
    return Smoothstep(ex, ex - fade, std::abs(x)) * Smoothstep(ey, ey - fade, std::abs(y));
}

// Averages `samples` x `samples` points per pixel (antialiased rings and
// polygon edges) and rounds to 8 bits.
Image Paint(const char* name, int width, int height, int samples, Shader shader)
{
    Image image;
    image.name = name;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    size_t out = 0;
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            Rgb sum {0.0, 0.0, 0.0};
            for (int sy = 0; sy < samples; ++sy) {
                const double y = 2.0 * (row + (sy + 0.5) / samples) / height - 1.0;
                for (int sx = 0; sx < samples; ++sx) {
                    const double x = 2.0 * (col + (sx + 0.5) / samples) / width - 1.0;
                    const Rgb c = shader(x, y);
                    for (size_t k = 0; k < 3; ++k) {
                        sum[k] += c[k];
                    }
                }
            }
            for (size_t k = 0; k < 3; ++k) {
                const double v = std::clamp(sum[k] / (samples * samples), 0.0, 1.0);
                image.rgb[out++] = static_cast<uint8_t>(std::lround(v * 255.0));
            }
        }
    }
    return image;
}

// Per-channel radius factors of the colour fringes: red spreads outwards and
// blue inwards, as a simple lens's dispersion does.
constexpr std::array<double, 3> kFringe {1.022, 1.0, 0.978};

// [SECTION] Flare sprites

// The soft main glow: a bright core, a broad halo and a faint rayed tail.
Rgb MainGlow(double x, double y)
{
    const double r = std::hypot(x, y);
    const double theta = std::atan2(y, x);
    const double core = std::exp(-(r / 0.075) * (r / 0.075));
    const double halo = 0.5 * std::exp(-(r / 0.22) * (r / 0.22));
    const double rays = 1.0 + 0.18 * std::sin(18.0 * theta + 0.7) * std::sin(7.0 * theta + 2.1);
    const double tail = 0.2 * std::exp(-r / 0.3) * rays;
    // The tail is a few levels faint beyond r = 0.5; ending it at exact black
    // by r = 0.68 leaves whole JPEG blocks black, so the drawn quad can stop
    // well inside the square (the sprite is drawn up to full-screen size).
    const double level = std::min(1.0, core + halo + tail) * Smoothstep(0.68, 0.5, r);
    // Warm in the outskirts, white in the core.
    const double w = std::min(1.0, core * 1.5);
    const Rgb tint {1.0, 0.95 + 0.05 * w, 0.88 + 0.12 * w};
    return Scaled(tint, level);
}

// Distance from the centre of a regular hexagon in apothems (1 on its sides).
double HexDistance(double x, double y, double apothem, double rotation)
{
    double d = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double a = rotation + k * kPi / 3.0;
        d = std::max(d, std::abs(x * std::cos(a) + y * std::sin(a)));
    }
    return d / apothem;
}

// A six-bladed aperture's ghost: an evenly lit hexagon, a little brighter at
// its sides, with fringed edges.
Rgb HexGhost(double x, double y)
{
    Rgb c {};
    for (size_t k = 0; k < 3; ++k) {
        const double d = HexDistance(x, y, 0.70 * kFringe[k], 0.26);
        const double cover = Smoothstep(1.0, 0.965, d);
        const double fill = 0.3 + 0.3 * std::pow(std::min(d, 1.0), 4.0) + 0.05 * x;
        const double edge = 0.45 * Gauss(d - 0.975, 0.035);
        c[k] = fill * cover + edge;
    }
    return Scaled(c, BorderWindow(x, y, 256, 256, 0.05));
}

// A round ghost: a disc slightly brighter towards its rim with a fringed edge.
Rgb Disc(double x, double y)
{
    const double r = std::hypot(x, y);
    Rgb c {};
    for (size_t k = 0; k < 3; ++k) {
        const double radius = 0.8 * kFringe[k];
        const double cover = Smoothstep(radius, radius - 0.035, r);
        const double fill = 0.46 + 0.26 * std::pow(std::min(r / radius, 1.0), 3.0);
        c[k] = fill * cover + 0.08 * Gauss(r - radius, 0.05);
    }
    return Scaled(c, Smoothstep(0.98, 0.9, r));
}

// A thin bright ring whose colours separate across its width.
Rgb ThinRing(double x, double y)
{
    const double r = std::hypot(x, y);
    Rgb c {};
    for (size_t k = 0; k < 3; ++k) {
        const double radius = 0.78 * kFringe[k];
        c[k] = Gauss(r - radius, 0.024) + 0.14 * Gauss(r - radius, 0.09);
    }
    const double inner = 0.05 * Smoothstep(0.8, 0.45, r);
    for (double& v : c) {
        v += inner;
    }
    return Scaled(c, Smoothstep(0.98, 0.9, r));
}

// A broad halo ring around the Sun, dispersed into a faint rainbow.
Rgb RainbowRing(double x, double y)
{
    const double r = std::hypot(x, y);
    constexpr std::array<double, 3> radius {0.72, 0.665, 0.61};
    const double white = 0.3 * Gauss(r - 0.665, 0.09);
    Rgb c {};
    for (size_t k = 0; k < 3; ++k) {
        c[k] = 0.6 * Gauss(r - radius[k], 0.07) + white + 0.05 * Smoothstep(0.7, 0.2, r);
    }
    return Scaled(c, Smoothstep(0.98, 0.88, r));
}

// The long horizontal streak (256 x 16): hottest in the middle, thinning and
// turning blue towards its ends.
Rgb Streak(double x, double y)
{
    const double ax = std::abs(x);
    const double along = 0.72 * std::exp(-ax / 0.12) + 0.28 * (1.0 - ax) * (1.0 - ax);
    const double thickness = 0.36 * (1.0 - 0.45 * ax);
    const double across = Gauss(y, thickness);
    const double level = along * across * BorderWindow(x, y, 256, 16, 0.02) * Smoothstep(1.0, 0.8, ax);
    const double blue = Smoothstep(0.05, 0.6, ax);
    const Rgb tint {1.0 - 0.45 * blue, 1.0 - 0.3 * blue, 1.0};
    return Scaled(tint, level);
}

// A star-shaped glint: a small core with uneven spikes.
Rgb Starburst(double x, double y)
{
    const double r = std::hypot(x, y);
    const double theta = std::atan2(y, x);
    double spikes = 0.0;
    constexpr int kSpikes = 14;
    for (int k = 0; k < kSpikes; ++k) {
        const auto n = static_cast<uint32_t>(k);
        const double a = 2.0 * kPi * (k + 0.35 * HashUnit(0x5ba7u, n, 1)) / kSpikes;
        const double length = 0.25 + 0.6 * HashUnit(0x5ba7u, n, 2);
        const double across = std::remainder(theta - a, 2.0 * kPi) * std::max(r, 0.02);
        const double width = 0.008 + 0.01 * r;
        if (std::abs(across) < 4.0 * width) {
            spikes += 0.7 * Gauss(across, width) * std::exp(-r / (0.35 * length));
        }
    }
    const double core = std::exp(-(r / 0.07) * (r / 0.07)) + 0.3 * std::exp(-(r / 0.2) * (r / 0.2));
    const double level = std::min(1.0, core + spikes) * Smoothstep(0.98, 0.8, r);
    return Scaled(Rgb {1.0, 0.96, 0.9}, level);
}

// [SECTION] Limb sprites

// Weight of the side of the disc that faces the light: the glow routine turns
// the texture corner (1, 1) towards the light. `floorLevel` keeps a faint full
// ring for a light straight behind the body.
double LitSide(double x, double y, double sharpness, double floorLevel)
{
    const double toward = std::cos(std::atan2(y, x) - kPi / 4.0);
    return floorLevel + (1.0 - floorLevel) * std::pow(0.5 * (1.0 + toward), sharpness);
}

// The billboard's half-size is 1.08 disc radii: the limb lies at 1 / 1.08.
constexpr double kHaloLimb = 1.0 / 1.08;
// The rim's billboard is 1.03 disc radii across.
constexpr double kRimLimb = 1.0 / 1.03;
// The darkening mask's billboard is 1.055 disc radii across.
constexpr double kMaskLimb = 1.0 / 1.055;

// The soft outer glow of a lit limb: light scattered by the upper atmosphere,
// reaching a little inwards over the disc and further outwards into space.
Rgb LimbHalo(double x, double y)
{
    const double r = std::hypot(x, y);
    const double lit = LitSide(x, y, 3.0, 0.08);
    const double width = 0.45 + 0.55 * lit; // the crescent thins towards its horns
    const double d = r - kHaloLimb;
    const double shape = d > 0.0 ? std::exp(-d / (0.075 * width)) : std::exp(d / (0.06 * width));
    const double level = lit * (0.85 * shape + 0.15 * std::exp(-std::abs(d) / 0.2));
    const double outward = Smoothstep(0.0, 0.12, d);
    const Rgb tint {1.0, 0.9 - 0.08 * outward, 0.74 - 0.14 * outward};
    return Scaled(tint, level * BorderWindow(x, y, 256, 256, 0.07));
}

// The thin bright line right on the lit limb.
Rgb LimbRim(double x, double y)
{
    const double r = std::hypot(x, y);
    const double lit = LitSide(x, y, 5.0, 0.03);
    const double width = 0.5 + 0.5 * lit;
    const double d = r - kRimLimb;
    const double line = Gauss(d, 0.011 * width);
    const double inner = d < 0.0 ? 0.3 * std::exp(d / (0.035 * width)) : 0.0;
    const double level = lit * std::min(1.0, line + inner);
    return Scaled(Rgb {1.0, 0.97, 0.9}, level * BorderWindow(x, y, 256, 256, 0.012));
}

// Limb darkening, laid on multiplicatively: white at the disc's centre,
// darker towards its edge, white again just outside so the sky and anything
// behind the limb keep their colour. The dark edge runs on for a pixel or two
// beyond the limb so filtering never leaves a bright seam on the planet.
Rgb LimbDarkening(double x, double y)
{
    const double r = std::hypot(x, y);
    const double rr = std::min(r / kMaskLimb, 1.0);
    const double mu = std::sqrt(1.0 - rr * rr);
    const double limb = 0.36 + 0.64 * std::pow(mu, 0.6);
    const double level = limb + (1.0 - limb) * Smoothstep(kMaskLimb + 0.01, kMaskLimb + 0.028, r);
    // The limb reddens a little as it darkens.
    return {std::pow(level, 0.92), level, std::pow(level, 1.1)};
}

// [SECTION] Table of sprites

struct SpriteRow {
    ArchiveMemberId member;
    int width;
    int height;
    Rgb (*shader)(double, double);
};

constexpr std::array<SpriteRow, 10> kSprites {{
    {ArchiveMemberId::Flare1, 256, 256, HexGhost},
    {ArchiveMemberId::Flare2, 256, 256, Disc},
    {ArchiveMemberId::Flare3, 256, 256, ThinRing},
    {ArchiveMemberId::Flare4, 256, 256, MainGlow},
    {ArchiveMemberId::Flare5, 256, 256, RainbowRing},
    {ArchiveMemberId::Flare6, 256, 16, Streak},
    {ArchiveMemberId::Flare7, 256, 256, LimbHalo},
    {ArchiveMemberId::Flare8, 256, 256, Starburst},
    {ArchiveMemberId::Flare9, 256, 256, LimbRim},
    {ArchiveMemberId::Flare10, 256, 256, LimbDarkening},
}};

} // namespace

std::vector<Image> MakeFlareArt()
{
    std::vector<Image> images;
    images.reserve(kSprites.size());
    for (const SpriteRow& s : kSprites) {
        images.push_back(Paint(ArchiveMemberName(s.member), s.width, s.height, 3, s.shader));
    }
    return images;
}

} // namespace velmora::art
