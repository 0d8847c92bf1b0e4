// The planet, ring, shadow and Titan pictures: their names and sizes, the
// seams between the surface quarters, the ring profile, and whether the
// painted shadows sit where the scene's geometry puts them.

#include "Art.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace velmora::art {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRingInner = 1.23449;
constexpr double kRingOuter = 2.32551;

using Pixel = std::array<int, 3>;

class PlanetArtTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { images_ = new std::vector<Image>(MakePlanetArt()); }
    static void TearDownTestSuite()
    {
        delete images_;
        images_ = nullptr;
    }

    static const Image& Get(const std::string& name)
    {
        for (const Image& image : *images_) {
            if (image.name == name) {
                return image;
            }
        }
        ADD_FAILURE() << "no picture named " << name;
        static const Image kEmpty;
        return kEmpty;
    }

    static Pixel At(const Image& image, int x, int y)
    {
        const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 3U;
        return {image.rgb[at], image.rgb[at + 1], image.rgb[at + 2]};
    }

    static double Luma(const Image& image, int x, int y)
    {
        const Pixel p = At(image, x, y);
        return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    }

    // Mean luma of a ring profile between two radii (first row).
    static double RingMean(const Image& image, double r0, double r1)
    {
        const int c0 = RingColumn(image, r0);
        const int c1 = RingColumn(image, r1);
        double sum = 0.0;
        for (int c = c0; c <= c1; ++c) {
            sum += Luma(image, c, 0);
        }
        return sum / (c1 - c0 + 1);
    }

    // The rings draw s = 0 at the inner radius and s = 1 at the outer.
    static int RingColumn(const Image& image, double r)
    {
        const double s = (r - kRingInner) / (kRingOuter - kRingInner);
        return std::clamp(static_cast<int>(s * image.width), 0, image.width - 1);
    }

    static std::vector<Image>* images_;
};

std::vector<Image>* PlanetArtTest::images_ = nullptr;

TEST_F(PlanetArtTest, NamesSizesAndBufferLengths)
{
    const std::vector<std::pair<std::string, std::pair<int, int>>> expected = {
        {"surface0.jpg", {512, 512}},
        {"surface1.jpg", {512, 512}},
        {"surface2.jpg", {512, 512}},
        {"surface3.jpg", {512, 512}},
        {"rings.jpg", {1024, 64}},
        {"rings_mask.jpg", {1024, 64}},
        {"spots_black.jpg", {1024, 1024}},
        {"spots_white.jpg", {1024, 1024}},
        {"shadow_on_ring.jpg", {1024, 1024}},
        {"rings_shadow.jpg", {1024, 1024}},
        {"titan.jpg", {1024, 512}},
    };
    ASSERT_EQ(images_->size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Image& image = (*images_)[i];
        EXPECT_EQ(image.name, expected[i].first);
        EXPECT_EQ(image.width, expected[i].second.first) << image.name;
        EXPECT_EQ(image.height, expected[i].second.second) << image.name;
        EXPECT_EQ(image.rgb.size(), static_cast<std::size_t>(image.width) * image.height * 3U) << image.name;
    }
}

// surface3 / surface2 are the northern x >= 0 / x <= 0 quarters (equator in
// the first row), surface1 / surface0 the southern ones (equator in the last
// row); each spans 180 degrees of longitude left to right, and the x <= 0
// pair continues where the x >= 0 pair ends.
TEST_F(PlanetArtTest, SurfaceQuartersShareTheirEdges)
{
    const std::array<std::pair<const char*, const char*>, 2> pairs = {{
        {"surface3.jpg", "surface2.jpg"},
        {"surface1.jpg", "surface0.jpg"},
    }};
    for (const auto& [eastName, westName] : pairs) {
        const Image& east = Get(eastName);
        const Image& west = Get(westName);
        const int last = east.width - 1;
        for (int y = 0; y < east.height; ++y) {
            ASSERT_EQ(At(east, last, y), At(west, 0, y)) << eastName << " row " << y << " (longitude 90)";
            ASSERT_EQ(At(west, last, y), At(east, 0, y)) << westName << " row " << y << " (longitude 270)";
        }
    }
    const std::array<std::pair<const char*, const char*>, 2> hemispheres = {{
        {"surface3.jpg", "surface1.jpg"},
        {"surface2.jpg", "surface0.jpg"},
    }};
    for (const auto& [northName, southName] : hemispheres) {
        const Image& north = Get(northName);
        const Image& south = Get(southName);
        for (int x = 0; x < north.width; ++x) {
            ASSERT_EQ(At(north, x, 0), At(south, x, south.height - 1)) << northName << " column " << x;
        }
    }
}

TEST_F(PlanetArtTest, SurfacePolesAreOnePoint)
{
    auto spread = [](const Image& image, int row) {
        int widest = 0;
        for (int k = 0; k < 3; ++k) {
            int lo = 255;
            int hi = 0;
            for (int x = 0; x < image.width; ++x) {
                lo = std::min(lo, At(image, x, row)[k]);
                hi = std::max(hi, At(image, x, row)[k]);
            }
            widest = std::max(widest, hi - lo);
        }
        return widest;
    };
    EXPECT_LE(spread(Get("surface3.jpg"), 511), 2);
    EXPECT_LE(spread(Get("surface2.jpg"), 511), 2);
    EXPECT_LE(spread(Get("surface1.jpg"), 0), 2);
    EXPECT_LE(spread(Get("surface0.jpg"), 0), 2);
    EXPECT_NEAR(Luma(Get("surface3.jpg"), 0, 511), Luma(Get("surface2.jpg"), 0, 511), 2.0);
}

// Saturn is banded: colour changes with latitude far more than along a
// latitude circle, and its equatorial region is warm (red over blue).
TEST_F(PlanetArtTest, SurfaceIsBandedAndWarm)
{
    for (const char* name : {"surface0.jpg", "surface1.jpg", "surface2.jpg", "surface3.jpg"}) {
        const Image& image = Get(name);
        std::vector<double> rowMeans;
        double withinRow = 0.0;
        for (int y = 0; y < image.height; y += 4) {
            double sum = 0.0;
            double sumSq = 0.0;
            for (int x = 0; x < image.width; ++x) {
                const double l = Luma(image, x, y);
                sum += l;
                sumSq += l * l;
            }
            const double mean = sum / image.width;
            rowMeans.push_back(mean);
            withinRow += std::sqrt(std::max(0.0, sumSq / image.width - mean * mean));
        }
        withinRow /= static_cast<double>(rowMeans.size());
        double mean = 0.0;
        for (double m : rowMeans) {
            mean += m;
        }
        mean /= static_cast<double>(rowMeans.size());
        double across = 0.0;
        for (double m : rowMeans) {
            across += (m - mean) * (m - mean);
        }
        across = std::sqrt(across / static_cast<double>(rowMeans.size()));
        EXPECT_GT(across, 2.0 * withinRow) << name;
        EXPECT_GT(across, 6.0) << name; // the bands are really there
    }
    const Image& north = Get("surface3.jpg");
    for (int x = 0; x < north.width; x += 64) {
        const Pixel p = At(north, x, 10); // near the equator
        EXPECT_GT(p[0], p[2] + 20) << "column " << x;
        EXPECT_LT(p[0], 250) << "the over-bright light needs head-room";
    }
}

// The rings draw every texel at t = 0 with repeat wrapping, so all rows
// must hold the same profile and both end columns must be empty ring.
TEST_F(PlanetArtTest, RingProfilesAreRadialWithEmptyEnds)
{
    for (const char* name : {"rings.jpg", "rings_mask.jpg"}) {
        const Image& image = Get(name);
        for (int y = 1; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                ASSERT_EQ(At(image, x, y), At(image, x, 0)) << name << " " << x << "," << y;
            }
        }
    }
    const Image& colour = Get("rings.jpg");
    const Image& mask = Get("rings_mask.jpg");
    for (int x : {0, 1, colour.width - 2, colour.width - 1}) {
        EXPECT_EQ(At(colour, x, 0), (Pixel {0, 0, 0})) << "column " << x;
        EXPECT_EQ(At(mask, x, 0), (Pixel {255, 255, 255})) << "column " << x;
    }
    // The mask is a grey opacity profile.
    for (int x = 0; x < mask.width; ++x) {
        const Pixel p = At(mask, x, 0);
        ASSERT_EQ(p[0], p[1]);
        ASSERT_EQ(p[1], p[2]);
    }
}

TEST_F(PlanetArtTest, RingProfileFollowsTheRingSystem)
{
    const Image& colour = Get("rings.jpg");
    const Image& mask = Get("rings_mask.jpg");

    const double cRing = RingMean(colour, 1.26, 1.50);
    const double bRing = RingMean(colour, 1.60, 1.92);
    const double cassini = RingMean(colour, 1.960, 2.005);
    const double aRing = RingMean(colour, 2.05, 2.20);
    EXPECT_GT(bRing, aRing);
    EXPECT_GT(aRing, cRing);
    EXPECT_GT(bRing, 2.0 * cassini) << "the Cassini division is a dark gap";
    EXPECT_GT(aRing, 1.5 * cassini);

    // Mask: white lets the background through.
    const double bMask = RingMean(mask, 1.60, 1.92);
    const double cassiniMask = RingMean(mask, 1.960, 2.005);
    const double cMask = RingMean(mask, 1.26, 1.50);
    const double aMask = RingMean(mask, 2.05, 2.20);
    EXPECT_LT(bMask, 60.0) << "the B ring is nearly opaque";
    EXPECT_GT(cassiniMask, bMask + 100.0);
    EXPECT_GT(cMask, aMask);
    EXPECT_GT(aMask, bMask);
    EXPECT_GT(RingMean(mask, 2.275, 2.305), 240.0) << "the Roche division is almost empty";

    // Encke gap at 2.2166 planet radii, a few texels wide, inside the A ring.
    const int encke = RingColumn(mask, 2.2166);
    EXPECT_GT(Luma(mask, encke, 0), RingMean(mask, 2.195, 2.205) + 60.0);
    EXPECT_GT(Luma(mask, encke, 0), RingMean(mask, 2.228, 2.238) + 60.0);
    EXPECT_LT(Luma(colour, encke, 0), 0.5 * RingMean(colour, 2.195, 2.205));

    // The narrow F ring stands out of the empty space near the outer edge.
    double fPeak = 0.0;
    for (int x = RingColumn(colour, 2.312); x <= RingColumn(colour, 2.324); ++x) {
        fPeak = std::max(fPeak, Luma(colour, x, 0));
    }
    EXPECT_GT(fPeak, 3.0 * RingMean(colour, 2.285, 2.305) + 20.0);
}

// Pattern layers: spots_white multiplies (near white), spots_black adds
// (near black); both neutral outside the rings and faintly varied inside.
TEST_F(PlanetArtTest, PatternLayersAreSubtleAndConfinedToTheRings)
{
    const Image& white = Get("spots_white.jpg");
    const Image& black = Get("spots_black.jpg");
    auto ringRadius = [](const Image& image, int x, int y) {
        const double px = (2.0 * (x + 0.5) / image.width - 1.0) * kRingOuter;
        const double py = (2.0 * (y + 0.5) / image.height - 1.0) * kRingOuter;
        return std::sqrt(px * px + py * py);
    };
    int whiteMin = 255;
    int blackMax = 0;
    for (int y = 0; y < white.height; y += 3) {
        for (int x = 0; x < white.width; x += 3) {
            const double r = ringRadius(white, x, y);
            const Pixel w = At(white, x, y);
            const Pixel b = At(black, x, y);
            if (r < kRingInner - 0.01 || r > kRingOuter) {
                ASSERT_EQ(w, (Pixel {255, 255, 255})) << x << "," << y;
                ASSERT_EQ(b, (Pixel {0, 0, 0})) << x << "," << y;
                continue;
            }
            whiteMin = std::min(whiteMin, *std::min_element(w.begin(), w.end()));
            blackMax = std::max(blackMax, *std::max_element(b.begin(), b.end()));
        }
    }
    EXPECT_GE(whiteMin, 170);
    EXPECT_LT(whiteMin, 245);
    EXPECT_LE(blackMax, 60);
    EXPECT_GT(blackMax, 8);
}

// The scene lays shadow_on_ring over the ring plane turned by -45 degrees
// about z; the Sun is at (400, 400, 100) and the planet has radius 1.
TEST_F(PlanetArtTest, PlanetShadowFallsOnTheRingsAwayFromTheSun)
{
    const Image& image = Get("shadow_on_ring.jpg");
    auto lumaAtWorld = [&](double wx, double wy) {
        // Undo the -45 degree turn, then map [-R, R] to texture 0..1.
        const double c = std::cos(kPi / 4.0);
        const double lx = c * wx - c * wy;
        const double ly = c * wx + c * wy;
        const int x = static_cast<int>((lx / kRingOuter + 1.0) * 0.5 * image.width);
        const int y = static_cast<int>((ly / kRingOuter + 1.0) * 0.5 * image.height);
        return Luma(image, std::clamp(x, 0, image.width - 1), std::clamp(y, 0, image.height - 1));
    };
    const double d = 1.0 / std::sqrt(2.0);
    // Along the line away from the Sun: shadow across the whole ring width.
    for (double r : {1.3, 1.8, 2.25}) {
        EXPECT_LT(lumaAtWorld(-r * d, -r * d), 40.0) << "radius " << r;
        EXPECT_GT(lumaAtWorld(r * d, r * d), 250.0) << "sunward radius " << r;
    }
    // Across the shadow: the planet's radius decides.
    const double r = 1.8;
    auto across = [&](double offset) { return lumaAtWorld(-r * d + offset * d, -r * d - offset * d); };
    EXPECT_LT(across(0.85), 40.0);
    EXPECT_LT(across(-0.85), 40.0);
    EXPECT_GT(across(1.15), 250.0);
    EXPECT_GT(across(-1.15), 250.0);
    // In the texture itself the shadow points to t = 0, the first rows.
    EXPECT_LT(Luma(image, image.width / 2, 10), 40.0);
    EXPECT_GT(Luma(image, image.width / 2, image.height - 10), 250.0);
}

// rings_shadow is projected along the Sun's horizontal direction (1, 1, 0) /
// sqrt 2 onto a unit half-sphere: s along (-1, 1, 0) / sqrt 2, t along -z; the
// planet point under a texel lies radially below it. Returns the luma of the
// texel over the point of the sunward meridian whose line to the Sun crosses
// the ring plane at radius r.
double RingShadowLumaForCrossing(const Image& image, double r)
{
    auto point = [](double latDeg) {
        const double c = std::cos(latDeg * kPi / 180.0) / std::sqrt(2.0);
        return std::array<double, 3> {c, c, 0.9 * std::sin(latDeg * kPi / 180.0)};
    };
    auto crossing = [](const std::array<double, 3>& q) {
        const double k = -q[2] / (100.0 - q[2]);
        return std::hypot(q[0] + (400.0 - q[0]) * k, q[1] + (400.0 - q[1]) * k);
    };
    double lo = -60.0;
    double hi = 0.0;
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        (crossing(point(mid)) > r ? lo : hi) = mid;
    }
    const auto q = point(0.5 * (lo + hi));
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    const double a = (q[1] - q[0]) / std::sqrt(2.0) / n;
    const int x = std::clamp(static_cast<int>((a + 1.0) * 0.5 * image.width), 0, image.width - 1);
    const int y = std::clamp(static_cast<int>((1.0 - q[2] / n) * 0.5 * image.height), 0, image.height - 1);
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 3U;
    return 0.299 * image.rgb[at] + 0.587 * image.rgb[at + 1] + 0.114 * image.rgb[at + 2];
}

TEST_F(PlanetArtTest, RingShadowFallsOnTheSouthernHemisphereUnderTheRings)
{
    const Image& image = Get("rings_shadow.jpg");
    // The Sun is north of the ring plane: nothing north of the equator.
    for (int y = 0; y < image.height / 2; y += 7) {
        for (int x = 0; x < image.width; x += 7) {
            ASSERT_GT(Luma(image, x, y), 250.0) << x << "," << y;
        }
    }
    // Corners lie outside the half-sphere's outline.
    EXPECT_GT(Luma(image, 2, image.height - 3), 250.0);
    EXPECT_GT(Luma(image, image.width - 3, image.height - 3), 250.0);

    const double bRing = RingShadowLumaForCrossing(image, 1.80);
    const double cassini = RingShadowLumaForCrossing(image, 1.985);
    const double aRing = RingShadowLumaForCrossing(image, 2.10);
    const double gap = RingShadowLumaForCrossing(image, 1.15);
    const double beyond = RingShadowLumaForCrossing(image, 2.45);
    EXPECT_LT(bRing, 60.0) << "under the B ring";
    EXPECT_GT(cassini, bRing + 60.0) << "light through the Cassini division";
    EXPECT_GT(cassini, aRing + 20.0);
    EXPECT_GT(gap, 240.0) << "between the planet and the C ring";
    EXPECT_GT(beyond, 240.0) << "beyond the F ring";
}

TEST_F(PlanetArtTest, TitanIsAnOrangeWrappingGlobe)
{
    const Image& titan = Get("titan.jpg");
    ASSERT_EQ(titan.width, 1024);
    ASSERT_EQ(titan.height, 512);
    std::array<double, 3> mean {};
    for (int y = 0; y < titan.height; y += 2) {
        for (int x = 0; x < titan.width; x += 2) {
            const Pixel p = At(titan, x, y);
            for (int k = 0; k < 3; ++k) {
                mean[k] += p[k];
            }
        }
    }
    for (double& m : mean) {
        m /= (titan.width / 2) * (titan.height / 2);
    }
    EXPECT_GT(mean[0], mean[1] + 25.0);
    EXPECT_GT(mean[1], mean[2] + 25.0);
    // Repeat wrapping joins the last column to the first.
    for (int y = 0; y < titan.height; ++y) {
        const Pixel a = At(titan, 0, y);
        const Pixel b = At(titan, titan.width - 1, y);
        for (int k = 0; k < 3; ++k) {
            ASSERT_LE(std::abs(a[k] - b[k]), 3) << "row " << y;
        }
    }
    // Faint darker regions: some texels clearly below the haze, none black.
    double darkest = 255.0;
    double brightest = 0.0;
    for (int y = 0; y < titan.height; y += 2) {
        for (int x = 0; x < titan.width; x += 2) {
            darkest = std::min(darkest, Luma(titan, x, y));
            brightest = std::max(brightest, Luma(titan, x, y));
        }
    }
    EXPECT_GT(brightest - darkest, 12.0);
    EXPECT_GT(darkest, 50.0);
}

TEST_F(PlanetArtTest, PaintingIsDeterministic)
{
    const std::vector<Image> again = MakePlanetArt();
    ASSERT_EQ(again.size(), images_->size());
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].name, (*images_)[i].name);
        EXPECT_TRUE(again[i].rgb == (*images_)[i].rgb) << again[i].name;
    }
}

} // namespace
} // namespace velmora::art
