#include "scene/TextureBounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {
namespace {

struct Texture {
    int w;
    int h;
    std::vector<uint8_t> rgb;
    Texture(int width, int height, uint8_t fill)
        : w(width)
        , h(height)
        , rgb(static_cast<std::size_t>(width) * height * 3, fill)
    {
    }
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b)
    {
        uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
    TextureBounds Bounds(uint8_t neutral, TextureWrap wrap) const
    {
        return ComputeTextureBounds(rgb.data(), w, h, neutral, wrap);
    }
};

TEST(TextureBounds, AllNeutralIsEmpty)
{
    EXPECT_TRUE(Texture(8, 8, 0).Bounds(0, TextureWrap::ClampToEdge).empty);
    EXPECT_TRUE(Texture(8, 8, 255).Bounds(255, TextureWrap::Repeat).empty);
    // White is not neutral for an added layer.
    EXPECT_TRUE(Texture(8, 8, 255).Bounds(0, TextureWrap::ClampToEdge).Full());
}

TEST(TextureBounds, CoverEveryTexelALinearFilterCanReach)
{
    Texture t(64, 32, 0);
    t.Set(10, 5, 0, 1, 0);
    t.Set(20, 9, 0, 0, 3);
    const TextureBounds b = t.Bounds(0, TextureWrap::ClampToEdge);
    EXPECT_FALSE(b.empty);
    EXPECT_FALSE(b.Full());
    // One texel beyond the live span on each side, and one and a half
    // texel widths past its far edge.
    EXPECT_FLOAT_EQ(b.s0, 9.0f / 64);
    EXPECT_FLOAT_EQ(b.s1, 22.0f / 64);
    EXPECT_FLOAT_EQ(b.t0, 4.0f / 32);
    EXPECT_FLOAT_EQ(b.t1, 11.0f / 32);

    t.Set(0, 0, 1, 0, 0);
    t.Set(63, 31, 1, 0, 0);
    EXPECT_TRUE(t.Bounds(0, TextureWrap::ClampToEdge).Full());
}

TEST(TextureBounds, WhiteIsNeutralForMultipliedLayers)
{
    Texture t(32, 32, 255);
    t.Set(12, 3, 254, 255, 255);
    const TextureBounds b = t.Bounds(255, TextureWrap::Repeat);
    EXPECT_FLOAT_EQ(b.s0, 11.0f / 32);
    EXPECT_FLOAT_EQ(b.s1, 14.0f / 32);
    EXPECT_FLOAT_EQ(b.t0, 2.0f / 32);
    EXPECT_FLOAT_EQ(b.t1, 5.0f / 32);
}

TEST(TextureBounds, RepeatWrappingAddsAStripAtTheOppositeEdge)
{
    // A dark band along the last column: with repeat wrapping the filter
    // blends it into the first column as well.
    Texture t(32, 16, 255);
    for (int y = 4; y < 8; ++y) {
        t.Set(31, y, 0, 0, 0);
    }
    const TextureBounds wrapped = t.Bounds(255, TextureWrap::Repeat);
    EXPECT_FLOAT_EQ(wrapped.s0, 30.0f / 32);
    EXPECT_FLOAT_EQ(wrapped.s1, 1.0f);
    EXPECT_FLOAT_EQ(wrapped.t0, 3.0f / 16);
    EXPECT_FLOAT_EQ(wrapped.t1, 9.0f / 16);
    EXPECT_FLOAT_EQ(wrapped.stripS0, 2.0f / 32);
    EXPECT_FLOAT_EQ(wrapped.stripS1, 0.0f);
    EXPECT_FLOAT_EQ(wrapped.stripT0, 0.0f);
    EXPECT_FLOAT_EQ(wrapped.stripT1, 0.0f);
    const std::vector<TexturePiece> pieces = TexturePieces(wrapped);
    ASSERT_EQ(pieces.size(), 2u);
    // The strip first (pieces run from s = 0), across the band's rows.
    EXPECT_FLOAT_EQ(pieces[0].s0, 0.0f);
    EXPECT_FLOAT_EQ(pieces[0].s1, 2.0f / 32);
    EXPECT_FLOAT_EQ(pieces[0].t0, 3.0f / 16);
    EXPECT_FLOAT_EQ(pieces[0].t1, 9.0f / 16);
    EXPECT_FLOAT_EQ(pieces[1].s0, 30.0f / 32);

    const TextureBounds clamped = t.Bounds(255, TextureWrap::ClampToEdge);
    EXPECT_FLOAT_EQ(clamped.stripS0, 0.0f);
    EXPECT_EQ(TexturePieces(clamped).size(), 1u);
}

TEST(TextureBounds, BandFromTheFirstRowGetsAStripAtTheLastAndCorners)
{
    // Like the planet's shadow on the rings: dark from the first row to the
    // middle, in the middle columns; and a texel in the first column.
    Texture t(64, 64, 255);
    for (int y = 0; y < 32; ++y) {
        for (int x = 20; x < 40; ++x) {
            t.Set(x, y, 10, 10, 10);
        }
    }
    const TextureBounds band = t.Bounds(255, TextureWrap::Repeat);
    EXPECT_FLOAT_EQ(band.t0, 0.0f);
    EXPECT_FLOAT_EQ(band.t1, 33.0f / 64);
    EXPECT_FLOAT_EQ(band.stripT1, 2.0f / 64);
    EXPECT_FLOAT_EQ(band.stripT0, 0.0f);
    const std::vector<TexturePiece> pieces = TexturePieces(band);
    ASSERT_EQ(pieces.size(), 2u);
    float area = 0.0f;
    for (const TexturePiece& p : pieces) {
        area += (p.s1 - p.s0) * (p.t1 - p.t0);
    }
    EXPECT_LT(area, 0.2f);

    t.Set(0, 10, 0, 0, 0);
    const TextureBounds both = t.Bounds(255, TextureWrap::Repeat);
    EXPECT_FLOAT_EQ(both.s0, 0.0f);
    EXPECT_FLOAT_EQ(both.stripS1, 2.0f / 64);
    // Rectangle, strip at s = 1, strip at t = 1 and their corner.
    EXPECT_EQ(TexturePieces(both).size(), 4u);
}

TEST(TextureBounds, PiecesShareTheirEdgesAndDoNotOverlap)
{
    Texture t(16, 16, 0);
    // One live texel in a corner: read from all four corners of the square.
    t.Set(0, 0, 1, 1, 1);
    const std::vector<TexturePiece> pieces = TexturePieces(t.Bounds(0, TextureWrap::Repeat));
    ASSERT_EQ(pieces.size(), 4u);
    const auto covers = [&](float s, float u) {
        return std::any_of(pieces.begin(), pieces.end(),
            [&](const TexturePiece& p) { return s >= p.s0 && s <= p.s1 && u >= p.t0 && u <= p.t1; });
    };
    EXPECT_TRUE(covers(0.01f, 0.01f));
    EXPECT_TRUE(covers(0.99f, 0.01f));
    EXPECT_TRUE(covers(0.01f, 0.99f));
    EXPECT_TRUE(covers(0.99f, 0.99f));
    EXPECT_FALSE(covers(0.5f, 0.5f));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        for (std::size_t j = i + 1; j < pieces.size(); ++j) {
            const TexturePiece& a = pieces[i];
            const TexturePiece& b = pieces[j];
            const bool overlap = a.s0 < b.s1 && b.s0 < a.s1 && a.t0 < b.t1 && b.t0 < a.t1;
            EXPECT_FALSE(overlap) << i << " " << j;
        }
    }
}

TEST(TextureBounds, AllLiveGivesTheWholeTextureAsOnePiece)
{
    Texture t(32, 32, 7);
    const std::vector<TexturePiece> pieces = TexturePieces(t.Bounds(0, TextureWrap::Repeat));
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_TRUE(pieces[0].Whole());
    EXPECT_TRUE(TexturePieces(Texture(8, 8, 0).Bounds(0, TextureWrap::Repeat)).empty());
}

TEST(TextureBounds, MalformedInputCutsNothing)
{
    const uint8_t px[3] = {0, 0, 0};
    EXPECT_TRUE(ComputeTextureBounds(nullptr, 4, 4, 0, TextureWrap::Repeat).Full());
    EXPECT_TRUE(ComputeTextureBounds(px, 0, 1, 0, TextureWrap::Repeat).Full());
    EXPECT_TRUE(ComputeTextureBounds(px, 1, -1, 0, TextureWrap::Repeat).Full());
    EXPECT_TRUE(ComputeTextureBounds(px, 1 << 20, 1, 0, TextureWrap::Repeat).Full());
}

// Whether texture point (s, t) lies inside the piece with its cut corners.
bool InsideCutPiece(const TexturePiece& p, float s, float t)
{
    if (s < p.s0 || s > p.s1 || t < p.t0 || t > p.t1)
        return false;
    // Corners (s1, t0), (s1, t1), (s0, t1), (s0, t0), each cut along the
    // line through the points cutS and cutT away from it.
    const float cs[4] = {p.s1, p.s1, p.s0, p.s0};
    const float ct[4] = {p.t0, p.t1, p.t1, p.t0};
    for (int k = 0; k < 4; ++k) {
        if (p.cutS[k] <= 0.0f)
            continue;
        const float ds = std::fabs(s - cs[k]) / p.cutS[k];
        const float dt = std::fabs(t - ct[k]) / p.cutT[k];
        if (ds + dt < 1.0f)
            return false;
    }
    return true;
}

struct CornerRow {
    const char* what;
    int liveCornerX; // a live texel near this corner too (-1: none)
    int liveCornerY;
    int uncutCorners; // how many corners keep their square shape
};

class CutCorners : public ::testing::TestWithParam<CornerRow> { };

// A live disc cut to about an octagon: every texel the filter may read from
// a live one stays inside, and the corners go.
TEST_P(CutCorners, KeepEveryTexelTheFilterReaches)
{
    constexpr int kSide = 64;
    Texture t(kSide, kSide, 0);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double dx = x + 0.5 - 32.0, dy = y + 0.5 - 32.0;
            if (dx * dx + dy * dy < 20.0 * 20.0)
                t.Set(x, y, 40, 30, 20);
        }
    }
    if (GetParam().liveCornerX >= 0)
        t.Set(GetParam().liveCornerX, GetParam().liveCornerY, 1, 0, 0);
    const std::vector<TexturePiece> pieces = CutCornerPieces(t.rgb.data(), t.w, t.h, 0);
    ASSERT_EQ(pieces.size(), 1u) << GetParam().what;
    const TexturePiece& p = pieces[0];
    int uncut = 0;
    for (int k = 0; k < 4; ++k)
        uncut += p.cutS[k] <= 0.0f ? 1 : 0;
    EXPECT_EQ(uncut, GetParam().uncutCorners) << GetParam().what;
    // A cut corner of the rectangle is no longer drawn.
    EXPECT_EQ(InsideCutPiece(p, p.s1, p.t0), p.cutS[0] <= 0.0f) << GetParam().what;
    EXPECT_EQ(InsideCutPiece(p, p.s0, p.t1), p.cutS[2] <= 0.0f) << GetParam().what;
    // Every sample point within a texel of a live texel's square is kept.
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (t.rgb[(static_cast<std::size_t>(y) * kSide + x) * 3] == 0)
                continue;
            for (const float ox : {-1.0f, 0.0f, 1.0f, 2.0f}) {
                for (const float oy : {-1.0f, 0.0f, 1.0f, 2.0f}) {
                    const float s = std::clamp((x + ox) / kSide, 0.0f, 1.0f);
                    const float u = std::clamp((y + oy) / kSide, 0.0f, 1.0f);
                    EXPECT_TRUE(InsideCutPiece(p, s, u)) << GetParam().what << " texel " << x << "," << y;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CutCorners,
    ::testing::Values(CornerRow {"disc", -1, -1, 0}, CornerRow {"disc and a texel near (s0, t0)", 6, 6, 1},
        CornerRow {"disc and a texel near (s1, t1)", 58, 57, 1}));

TEST(TextureBounds, CutCornersLeaveSquareAndEmptyTexturesAlone)
{
    EXPECT_TRUE(CutCornerPieces(Texture(16, 16, 0).rgb.data(), 16, 16, 0).empty());
    const std::vector<TexturePiece> full = CutCornerPieces(Texture(16, 16, 9).rgb.data(), 16, 16, 0);
    ASSERT_EQ(full.size(), 1u);
    EXPECT_TRUE(full[0].Whole());
    EXPECT_FALSE(full[0].Cut());
}

// How many of the triangles hold (s, t); on an edge counts when inside by
// at least -margin.
int Covering(const std::vector<TexturePoint>& tri, double s, double t, double margin)
{
    int n = 0;
    for (std::size_t k = 0; k + 2 < tri.size(); k += 3) {
        bool inside = true;
        for (std::size_t e = 0; e < 3; ++e) {
            const TexturePoint& a = tri[k + e];
            const TexturePoint& b = tri[k + (e + 1) % 3];
            const double cross
                = (static_cast<double>(b.s) - a.s) * (t - a.t) - (static_cast<double>(b.t) - a.t) * (s - a.s);
            inside = inside && cross >= -margin;
        }
        n += inside ? 1 : 0;
    }
    return n;
}

struct RingRow {
    const char* what;
    uint8_t neutral;
    double liveFrom; // texel radii of the live annulus in a 64 x 64 texture
    double liveTo;
    bool whole;
    bool hole; // the centre is left out
};

class RingShapes : public ::testing::TestWithParam<RingRow> { };

// Every point the filter may read a live texel from is drawn, once; the
// middle is left out only where it is neutral and wide enough.
TEST_P(RingShapes, DrawEveryLiveTexelOnceAndLeaveOutTheNeutralMiddle)
{
    const RingRow& row = GetParam();
    constexpr int kSide = 64;
    Texture tex(kSide, kSide, row.neutral);
    const uint8_t live = row.neutral == 0 ? 200 : 20;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double r = std::hypot(x + 0.5 - 32.0, y + 0.5 - 32.0);
            if (r >= row.liveFrom && r < row.liveTo)
                tex.Set(x, y, live, live, live);
        }
    }
    const TextureShape shape = RingShape(tex.rgb.data(), kSide, kSide, row.neutral);
    ASSERT_EQ(shape.whole, row.whole) << row.what;
    if (row.whole)
        return;
    ASSERT_EQ(shape.triangles.size() % 3, 0u) << row.what;
    EXPECT_EQ(Covering(shape.triangles, 0.5, 0.5, 0.0) == 0, row.hole) << row.what;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (tex.rgb[(static_cast<std::size_t>(y) * kSide + x) * 3] == row.neutral)
                continue;
            for (const double ox : {-1.0, 0.0, 1.0, 2.0}) {
                for (const double oy : {-1.0, 0.0, 1.0, 2.0}) {
                    const double s = std::clamp((x + ox) / kSide, 0.0, 1.0);
                    const double t = std::clamp((y + oy) / kSide, 0.0, 1.0);
                    EXPECT_GE(Covering(shape.triangles, s, t, 1e-6), 1)
                        << row.what << " texel " << x << "," << y;
                }
            }
        }
    }
    // Off the edges, no point is drawn twice.
    for (double s = 0.013; s < 1.0; s += 0.0371)
        for (double t = 0.007; t < 1.0; t += 0.0293)
            EXPECT_LE(Covering(shape.triangles, s, t, -1e-6), 1) << row.what << " at " << s << "," << t;
}

INSTANTIATE_TEST_SUITE_P(Rows, RingShapes,
    ::testing::Values(RingRow {"rim glow", 0, 14.0, 24.0, false, true},
        RingRow {"rim on white, multiplied", 255, 14.0, 24.0, false, true},
        RingRow {"disc", 0, 0.0, 20.0, false, false}, RingRow {"hole too narrow", 0, 4.0, 24.0, false, false},
        RingRow {"live to the corners", 0, 0.0, 99.0, true, false},
        RingRow {"hole, live to the corners", 0, 12.0, 99.0, false, true},
        RingRow {"nothing live", 0, 99.0, 99.0, false, true}));

TEST(TextureBounds, AffinePointSpansTheParallelogram)
{
    const Point2 a {1.0, 1.0}, b {3.0, 2.0}, d {0.0, 4.0};
    const Point2 c = AffinePoint(a, b, d, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(c.x, 2.0);
    EXPECT_DOUBLE_EQ(c.y, 5.0);
    const Point2 m = AffinePoint(a, b, d, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(m.x, 1.5);
    EXPECT_DOUBLE_EQ(m.y, 3.0);
}

} // namespace
} // namespace velmora
