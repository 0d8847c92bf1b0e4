// The flare, limb-glow and limb-darkening sprites: sizes, black borders for
// the additive ones, and the geometry the drawing code relies on.

#include "Art.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace velmora::art {
namespace {

const std::vector<Image>& Flares()
{
    static const std::vector<Image> images = MakeFlareArt();
    return images;
}

const Image& Flare(int n)
{
    return Flares().at(static_cast<size_t>(n - 1));
}

int Channel(const Image& im, int col, int row, int c)
{
    return im.rgb.at((static_cast<size_t>(row) * static_cast<size_t>(im.width) + static_cast<size_t>(col)) * 3
        + static_cast<size_t>(c));
}

int Luma(const Image& im, int col, int row)
{
    return Channel(im, col, row, 0) + Channel(im, col, row, 1) + Channel(im, col, row, 2);
}

// Pixel at texture-space point (x, y), x = 2s - 1 and y = 2t - 1 (row 0 is t = 0).
int LumaAt(const Image& im, double x, double y)
{
    const int col = std::clamp(static_cast<int>((x + 1.0) * 0.5 * im.width), 0, im.width - 1);
    const int row = std::clamp(static_cast<int>((y + 1.0) * 0.5 * im.height), 0, im.height - 1);
    return Luma(im, col, row);
}

// Radius (texture units) of the brightest sample along a ray from the centre.
double PeakRadiusAlong(const Image& im, double angle, int channel = -1)
{
    double best = 0.0;
    int bestValue = -1;
    for (int i = 0; i <= 1000; ++i) {
        const double r = i / 1000.0 * 1.4;
        const double x = r * std::cos(angle);
        const double y = r * std::sin(angle);
        if (std::abs(x) >= 1.0 || std::abs(y) >= 1.0) {
            break;
        }
        const int col = std::clamp(static_cast<int>((x + 1.0) * 0.5 * im.width), 0, im.width - 1);
        const int row = std::clamp(static_cast<int>((y + 1.0) * 0.5 * im.height), 0, im.height - 1);
        const int v = channel < 0 ? Luma(im, col, row) : Channel(im, col, row, channel);
        if (v > bestValue) {
            bestValue = v;
            best = r;
        }
    }
    return best;
}

TEST(FlareArt, TenSpritesWithTheStoredNamesAndSizes)
{
    ASSERT_EQ(Flares().size(), 10u);
    for (int n = 1; n <= 10; ++n) {
        const Image& im = Flare(n);
        EXPECT_EQ(im.name, "Flare" + std::to_string(n) + ".jpg");
        EXPECT_EQ(im.width, 256) << im.name;
        EXPECT_EQ(im.height, n == 6 ? 16 : 256) << im.name;
        EXPECT_EQ(im.rgb.size(), static_cast<size_t>(im.width) * static_cast<size_t>(im.height) * 3)
            << im.name;
    }
}

TEST(FlareArt, SameSpritesEveryTime)
{
    const std::vector<Image> again = MakeFlareArt();
    ASSERT_EQ(again.size(), Flares().size());
    for (size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].rgb, Flares()[i].rgb) << again[i].name;
    }
}

TEST(FlareArt, AdditiveSpritesAreBlackOnEveryBorderPixel)
{
    for (int n = 1; n <= 9; ++n) {
        const Image& im = Flare(n);
        int brightest = 0;
        for (int col = 0; col < im.width; ++col) {
            brightest = std::max({brightest, Luma(im, col, 0), Luma(im, col, im.height - 1)});
        }
        for (int row = 0; row < im.height; ++row) {
            brightest = std::max({brightest, Luma(im, 0, row), Luma(im, im.width - 1, row)});
        }
        EXPECT_EQ(brightest, 0) << im.name;
    }
}

TEST(FlareArt, AdditiveSpritesHaveVisibleContent)
{
    for (int n = 1; n <= 9; ++n) {
        const Image& im = Flare(n);
        EXPECT_GT(*std::max_element(im.rgb.begin(), im.rgb.end()), 160) << im.name;
    }
}

TEST(FlareArt, MainGlowIsBrightestAtTheCentreAndFadesOutwards)
{
    const Image& glow = Flare(4);
    const int centre = LumaAt(glow, 0.0, 0.0);
    EXPECT_GE(centre, 3 * 245);
    int previous = centre;
    for (double r : {0.1, 0.2, 0.4, 0.6, 0.8}) {
        const int v = LumaAt(glow, r * std::cos(1.0), r * std::sin(1.0));
        EXPECT_LT(v, previous) << "r = " << r;
        previous = v;
    }
    EXPECT_EQ(LumaAt(glow, 0.99, 0.0), 0);
}

TEST(FlareArt, MainGlowIsExactlyBlackWellInsideItsSquare)
{
    // The glow is drawn up to several screens wide; black from r = 0.68 on
    // lets the renderer stop its quad there.
    const Image& glow = Flare(4);
    int outside = 0;
    for (int row = 0; row < glow.height; ++row) {
        for (int col = 0; col < glow.width; ++col) {
            const double x = 2.0 * (col + 0.5) / glow.width - 1.0;
            const double y = 2.0 * (row + 0.5) / glow.height - 1.0;
            if (std::hypot(x, y) >= 0.69) {
                outside = std::max(outside, Luma(glow, col, row));
            }
        }
    }
    EXPECT_EQ(outside, 0);
    // The faint tail is still there inside that circle.
    EXPECT_GT(LumaAt(glow, 0.55 * std::cos(1.0), 0.55 * std::sin(1.0)), 0);
}

TEST(FlareArt, HexagonalGhostHasSixCornersAndFlatSides)
{
    const Image& hex = Flare(1);
    // The ghost's corners sit every 60 degrees; halfway between two corners a
    // flat side comes closer to the centre. Find one corner from the samples.
    double cornerAngle = 0.0;
    double farthest = 0.0;
    for (int i = 0; i < 360; ++i) {
        const double a = i * std::numbers::pi / 180.0;
        double edge = 0.0;
        for (double r = 0.3; r < 0.99; r += 0.002) {
            if (LumaAt(hex, r * std::cos(a), r * std::sin(a)) > 60) {
                edge = r;
            }
        }
        if (edge > farthest) {
            farthest = edge;
            cornerAngle = a;
        }
    }
    auto extent = [&](double a) {
        double edge = 0.0;
        for (double r = 0.3; r < 0.99; r += 0.002) {
            if (LumaAt(hex, r * std::cos(a), r * std::sin(a)) > 60) {
                edge = r;
            }
        }
        return edge;
    };
    for (int k = 0; k < 6; ++k) {
        const double corner = extent(cornerAngle + k * std::numbers::pi / 3.0);
        const double side = extent(cornerAngle + (k + 0.5) * std::numbers::pi / 3.0);
        EXPECT_NEAR(corner, farthest, 0.03) << "corner " << k;
        // A regular hexagon's apothem is cos(30 deg) of its corner radius.
        EXPECT_NEAR(side / corner, std::cos(std::numbers::pi / 6.0), 0.04) << "side " << k;
    }
}

TEST(FlareArt, ThinRingSplitsItsColoursRedOutside)
{
    const Image& ring = Flare(3);
    for (double a : {0.3, 2.0, 4.0}) {
        const double red = PeakRadiusAlong(ring, a, 0);
        const double blue = PeakRadiusAlong(ring, a, 2);
        EXPECT_NEAR(PeakRadiusAlong(ring, a), 0.78, 0.03);
        EXPECT_GT(red, blue + 0.015) << "angle " << a;
    }
    // Thin: dark well inside and outside the ring.
    EXPECT_LT(LumaAt(ring, 0.6, 0.0), LumaAt(ring, 0.78, 0.0) / 5);
    EXPECT_LT(LumaAt(ring, 0.93, 0.0), LumaAt(ring, 0.78, 0.0) / 5);
}

TEST(FlareArt, StreakIsAThinHorizontalBandHottestInTheMiddle)
{
    const Image& streak = Flare(6);
    int bestRow = 0;
    int bestCol = 0;
    for (int row = 0; row < streak.height; ++row) {
        for (int col = 0; col < streak.width; ++col) {
            if (Luma(streak, col, row) > Luma(streak, bestCol, bestRow)) {
                bestRow = row;
                bestCol = col;
            }
        }
    }
    EXPECT_TRUE(bestRow == 7 || bestRow == 8);
    EXPECT_TRUE(bestCol == 127 || bestCol == 128);
    // Still visible far along the band, fading towards its ends.
    EXPECT_GT(Luma(streak, 215, 8), 10);
    EXPECT_LT(Luma(streak, 215, 8), Luma(streak, 180, 8));
    EXPECT_LT(Luma(streak, 128, 3), Luma(streak, 128, 7) / 4);
}

// The glow routine turns the texture corner (s, t) = (1, 1) towards the light.
double QuadrantSum(const Image& im, bool right, bool lastRows)
{
    double sum = 0.0;
    for (int row = 0; row < im.height; ++row) {
        for (int col = 0; col < im.width; ++col) {
            if ((col >= im.width / 2) == right && (row >= im.height / 2) == lastRows) {
                sum += Luma(im, col, row);
            }
        }
    }
    return sum;
}

TEST(FlareArt, LimbGlowCrescentsFaceTextureCornerOneOne)
{
    for (int n : {7, 9}) {
        const Image& im = Flare(n);
        const double toward = QuadrantSum(im, true, true);
        EXPECT_GT(toward, 3.0 * QuadrantSum(im, false, false)) << im.name;
        EXPECT_GT(toward, 1.5 * QuadrantSum(im, true, false)) << im.name;
        EXPECT_GT(toward, 1.5 * QuadrantSum(im, false, true)) << im.name;
    }
}

TEST(FlareArt, LimbGlowsPeakOnTheDiscEdge)
{
    // Billboard half-sizes are 1.08 (halo) and 1.03 (rim) disc radii, so the
    // limb lies at 1/1.08 and 1/1.03 of the half-size.
    const double diagonal = std::numbers::pi / 4.0;
    EXPECT_NEAR(PeakRadiusAlong(Flare(7), diagonal), 1.0 / 1.08, 0.02);
    EXPECT_NEAR(PeakRadiusAlong(Flare(9), diagonal), 1.0 / 1.03, 0.01);
    // The rim is a thin line: dark a little inside the limb.
    EXPECT_LT(LumaAt(Flare(9), 0.85 * std::cos(diagonal), 0.85 * std::sin(diagonal)),
        LumaAt(Flare(9), std::cos(diagonal) / 1.03, std::sin(diagonal) / 1.03) / 4);
}

TEST(FlareArt, LimbDarkeningMaskIsWhiteInTheMiddleAndOutsideDarkAtTheLimb)
{
    const Image& mask = Flare(10);
    EXPECT_GE(LumaAt(mask, 0.0, 0.0), 3 * 250);
    for (int corner = 0; corner < 4; ++corner) {
        const int col = corner & 1 ? mask.width - 1 : 0;
        const int row = corner & 2 ? mask.height - 1 : 0;
        EXPECT_EQ(Luma(mask, col, row), 3 * 255) << "corner " << corner;
    }
    const double limb = 1.0 / 1.055;
    for (double a : {0.0, 1.0, 2.5, 4.0, 5.5}) {
        const double c = std::cos(a);
        const double s = std::sin(a);
        EXPECT_LT(LumaAt(mask, 0.985 * limb * c, 0.985 * limb * s), 3 * 165) << "angle " << a;
        // Sky just outside the disc is left alone.
        EXPECT_EQ(LumaAt(mask, (limb + 0.04) * c, (limb + 0.04) * s), 3 * 255) << "angle " << a;
        int previous = 3 * 256;
        for (double f : {0.0, 0.3, 0.6, 0.8, 0.9, 0.97}) {
            const int v = LumaAt(mask, f * limb * c, f * limb * s);
            EXPECT_LE(v, previous) << "fraction " << f;
            previous = v;
        }
    }
}

} // namespace
} // namespace velmora::art
