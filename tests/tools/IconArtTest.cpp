// The painted icon and image strip: sizes, transparency where the list and
// the desktop expect it, six distinct images, the same bytes on every run.

#include "IconArt.h"
#include "ImageStrip.h"

#include <gtest/gtest.h>

#include <array>

namespace velmora::art {
namespace {

class ProgramIconArtTest : public ::testing::TestWithParam<int> { };

TEST_P(ProgramIconArtTest, RingedPlanetOnATransparentSquare)
{
    const int side = GetParam();
    const RgbaImage icon = MakeProgramIcon(side);
    ASSERT_EQ(icon.width, side);
    ASSERT_EQ(icon.height, side);
    ASSERT_EQ(icon.rgba.size(), static_cast<std::size_t>(side * side * 4));
    const auto alpha
        = [&](int x, int y) { return icon.rgba[(static_cast<std::size_t>(y) * side + x) * 4 + 3]; };
    // Corners empty, the planet's middle opaque, the ring reaching far out
    // to the left and right along its tilt.
    for (auto [x, y] :
        std::array<std::pair<int, int>, 4> {{{0, 0}, {side - 1, 0}, {0, side - 1}, {side - 1, side - 1}}})
        EXPECT_EQ(alpha(x, y), 0) << x << "," << y;
    EXPECT_EQ(alpha(side / 2, side / 2), 255);
    int opaque = 0;
    int leftmost = side;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (alpha(x, y) > 128) {
                ++opaque;
                leftmost = std::min(leftmost, x);
            }
    EXPECT_GT(opaque, side * side / 4);
    EXPECT_LT(opaque, side * side * 3 / 4);
    EXPECT_LE(leftmost, side / 8);
    EXPECT_EQ(MakeProgramIcon(side).rgba, icon.rgba);
}

INSTANTIATE_TEST_SUITE_P(IconArt, ProgramIconArtTest, ::testing::ValuesIn(kIconSides));

TEST(ImageStripArt, SixKeyedImagesThatDifferFromEachOther)
{
    const Image strip = MakeImageStrip();
    static_assert(kStripImageCount == icons::kStripImageCount && kStripCell == icons::kStripCellSize);
    ASSERT_EQ(strip.width, 6 * 32);
    ASSERT_EQ(strip.height, 32);
    ASSERT_EQ(strip.rgb.size(), static_cast<std::size_t>(strip.width * strip.height * 3));
    const auto isKey = [&](int x, int y) {
        const uint8_t* p = &strip.rgb[(static_cast<std::size_t>(y) * strip.width + x) * 3];
        return p[0] == icons::kStripKeyRed && p[1] == icons::kStripKeyGreen && p[2] == icons::kStripKeyBlue;
    };
    std::array<std::vector<uint8_t>, 6> cells;
    for (int cell = 0; cell < 6; ++cell) {
        int drawn = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const uint8_t* p
                    = &strip.rgb[(static_cast<std::size_t>(y) * strip.width + cell * 32 + x) * 3];
                cells[static_cast<std::size_t>(cell)].insert(
                    cells[static_cast<std::size_t>(cell)].end(), p, p + 3);
                drawn += isKey(cell * 32 + x, y) ? 0 : 1;
            }
        EXPECT_TRUE(isKey(cell * 32, 0)) << "cell " << cell << " has a transparent corner";
        EXPECT_GT(drawn, 32 * 32 / 4) << "cell " << cell;
        EXPECT_LT(drawn, 32 * 32 * 9 / 10) << "cell " << cell;
    }
    for (std::size_t a = 0; a < 6; ++a)
        for (std::size_t b = a + 1; b < 6; ++b)
            EXPECT_NE(cells[a], cells[b]) << "cells " << a << " and " << b << " are the same picture";
    EXPECT_EQ(MakeImageStrip().rgb, strip.rgb);
}

} // namespace
} // namespace velmora::art
