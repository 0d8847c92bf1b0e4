// The tool that makes the 256-colour product picture from a rendered frame.

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <tuple>
#include <vector>

#include "Quantise.h"

namespace velmora::tools {
namespace {

uint32_t Read32(const std::vector<uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A smooth gradient with far more than 256 colours.
RgbImage Gradient(int width, int height)
{
    RgbImage image {width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels.push_back({static_cast<uint8_t>(x * 255 / (width - 1)),
                static_cast<uint8_t>(y * 255 / (height - 1)), static_cast<uint8_t>((x + y) % 256)});
    return image;
}

TEST(QuantiseTest, FewColoursComeBackExactly)
{
    const std::vector<Rgb> colours = {{0, 0, 0}, {255, 0, 0}, {10, 200, 30}, {255, 255, 255}, {1, 2, 3}};
    RgbImage image {7, 5, {}};
    for (int i = 0; i < 35; ++i)
        image.pixels.push_back(colours[static_cast<std::size_t>(i * 3) % colours.size()]);
    const IndexedImage indexed = Quantise(image);
    EXPECT_EQ(indexed.palette.size(), colours.size());
    ASSERT_EQ(indexed.indices.size(), image.pixels.size());
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        EXPECT_EQ(indexed.palette[indexed.indices[i]], image.pixels[i]) << i;
}

TEST(QuantiseTest, ManyColoursFitTheLimitWithSmallError)
{
    const RgbImage image = Gradient(192, 144);
    for (int limit : {256, 16, 1}) {
        const IndexedImage indexed = Quantise(image, limit);
        EXPECT_LE(static_cast<int>(indexed.palette.size()), limit);
        if (limit != 256)
            continue;
        EXPECT_EQ(indexed.palette.size(), 256u);
        double error = 0;
        for (std::size_t i = 0; i < image.pixels.size(); ++i) {
            const Rgb& a = image.pixels[i];
            const Rgb& b = indexed.palette[indexed.indices[i]];
            error += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
        EXPECT_LT(error / (3.0 * image.pixels.size()), 6.0);
    }
    // The same frame gives the same bytes.
    EXPECT_EQ(EncodeBmp8(Quantise(image)), EncodeBmp8(Quantise(image)));
}

TEST(QuantiseTest, ShrinkAveragesWholeBlocksOnly)
{
    RgbImage image {4, 2,
        {{0, 0, 0}, {10, 20, 30}, {100, 100, 100}, {100, 100, 100}, {20, 40, 60}, {30, 60, 90},
            {100, 100, 100}, {101, 101, 101}}};
    RgbImage out;
    ASSERT_TRUE(ShrinkByBoxes(image, 2, out));
    EXPECT_EQ(out.width, 2);
    EXPECT_EQ(out.height, 1);
    EXPECT_EQ(out.pixels, (std::vector<Rgb> {{15, 30, 45}, {100, 100, 100}}));
    EXPECT_FALSE(ShrinkByBoxes(image, 3, out));
    EXPECT_FALSE(ShrinkByBoxes(image, 0, out));
}

TEST(QuantiseTest, BitmapFileIsEightBitBottomUpWithPaddedRows)
{
    IndexedImage image;
    image.width = 3;
    image.height = 2;
    image.palette = {{1, 2, 3}, {200, 100, 50}};
    image.indices = {0, 1, 0, 1, 1, 0}; // top row, then bottom row
    const std::vector<uint8_t> bmp = EncodeBmp8(image);
    const uint32_t offset = 14 + 40 + 1024;
    ASSERT_EQ(bmp.size(), offset + 2 * 4u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Read32(bmp, 2), bmp.size());
    EXPECT_EQ(Read32(bmp, 10), offset);
    EXPECT_EQ(Read32(bmp, 14), 40u);
    EXPECT_EQ(Read32(bmp, 18), 3u);
    EXPECT_EQ(Read32(bmp, 22), 2u);
    EXPECT_EQ(bmp[28], 8);
    EXPECT_EQ(Read32(bmp, 30), 0u);
    // Palette entries are blue, green, red, zero.
    EXPECT_EQ(std::make_tuple(bmp[54 + 4], bmp[55 + 4], bmp[56 + 4], bmp[57 + 4]),
        std::make_tuple(uint8_t {50}, uint8_t {100}, uint8_t {200}, uint8_t {0}));
    // The bottom row comes first, each padded to four bytes.
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + offset, bmp.end()),
        (std::vector<uint8_t> {1, 1, 0, 0, 0, 1, 0, 0}));
}

} // namespace
} // namespace velmora::tools
