#include "scene/TextureBounds.h"

#include <gtest/gtest.h>

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

TEST(TextureBounds, RepeatWrappingKeepsTheOppositeEdge)
{
    // A dark band along the last column: with repeat wrapping the filter
    // blends it into the first column as well.
    Texture t(32, 16, 255);
    for (int y = 4; y < 8; ++y) {
        t.Set(31, y, 0, 0, 0);
    }
    const TextureBounds wrapped = t.Bounds(255, TextureWrap::Repeat);
    EXPECT_FLOAT_EQ(wrapped.s0, 0.0f);
    EXPECT_FLOAT_EQ(wrapped.s1, 1.0f);
    EXPECT_FLOAT_EQ(wrapped.t0, 3.0f / 16);
    EXPECT_FLOAT_EQ(wrapped.t1, 9.0f / 16);
    const TextureBounds clamped = t.Bounds(255, TextureWrap::ClampToEdge);
    EXPECT_FLOAT_EQ(clamped.s0, 30.0f / 32);
    EXPECT_FLOAT_EQ(clamped.s1, 1.0f);

    // The first row live: the last rows are reached too.
    Texture u(16, 16, 0);
    u.Set(7, 0, 5, 5, 5);
    const TextureBounds top = u.Bounds(0, TextureWrap::Repeat);
    EXPECT_FLOAT_EQ(top.t0, 0.0f);
    EXPECT_FLOAT_EQ(top.t1, 1.0f);
    EXPECT_FLOAT_EQ(top.s0, 6.0f / 16);
}

TEST(TextureBounds, MalformedInputCutsNothing)
{
    const uint8_t px[3] = {0, 0, 0};
    EXPECT_TRUE(ComputeTextureBounds(nullptr, 4, 4, 0, TextureWrap::Repeat).Full());
    EXPECT_TRUE(ComputeTextureBounds(px, 0, 1, 0, TextureWrap::Repeat).Full());
    EXPECT_TRUE(ComputeTextureBounds(px, 1, -1, 0, TextureWrap::Repeat).Full());
    EXPECT_TRUE(ComputeTextureBounds(px, 1 << 20, 1, 0, TextureWrap::Repeat).Full());
}

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
