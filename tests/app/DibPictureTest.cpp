// The in-memory picture behind the host preview: creation, and reading
// bitmap files, good and damaged.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/DibPicture.h"

namespace velmora {
namespace {

struct BmpLayout {
    int32_t width = 3;
    int32_t height = 2; // negative: rows top-down
    uint16_t bits = 8;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    uint32_t paletteEntries = 256;
};

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A bitmap file whose pixel (x, row) has the value x + 10 * row, rows as
// stored; palette entry i is (blue i, green 2i, red 3i).
std::vector<uint8_t> MakeBmp(const BmpLayout& s)
{
    const int bytesPerPixel = s.bits / 8 > 0 ? s.bits / 8 : 1;
    const uint32_t stride = (static_cast<uint32_t>(s.width * bytesPerPixel) + 3u) & ~3u;
    const uint32_t rows = static_cast<uint32_t>(s.height < 0 ? -s.height : s.height);
    const uint32_t palette = s.bits == 8 ? s.paletteEntries * 4 : 0;
    const uint32_t offset = 14 + 40 + palette;
    std::vector<uint8_t> b = {'B', 'M'};
    Put32(b, offset + stride * rows);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(s.width));
    Put32(b, static_cast<uint32_t>(s.height));
    b.push_back(1);
    b.push_back(0);
    b.push_back(static_cast<uint8_t>(s.bits));
    b.push_back(static_cast<uint8_t>(s.bits >> 8));
    Put32(b, s.compression);
    Put32(b, stride * rows);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, s.coloursUsed);
    Put32(b, 0);
    for (uint32_t i = 0; i < palette / 4; ++i) {
        b.push_back(static_cast<uint8_t>(i));
        b.push_back(static_cast<uint8_t>(2 * i));
        b.push_back(static_cast<uint8_t>(3 * i));
        b.push_back(0);
    }
    for (uint32_t row = 0; row < rows; ++row) {
        for (int x = 0; x < s.width; ++x)
            for (int c = 0; c < bytesPerPixel; ++c)
                b.push_back(static_cast<uint8_t>(x + 10 * row + 100 * c));
        b.insert(b.end(), stride - static_cast<uint32_t>(s.width * bytesPerPixel), 0xEE);
    }
    return b;
}

DibPicture::LoadResult Load(DibPicture& picture, const std::vector<uint8_t>& bytes)
{
    return picture.LoadBitmapFile(bytes.data(), bytes.size());
}

struct CreateCase {
    int width, height, kind;
    bool ok;
    int stride;
};

class DibPictureCreateTest : public ::testing::TestWithParam<CreateCase> { };

TEST_P(DibPictureCreateTest, MakesTheHeaderAndPaddedRows)
{
    const CreateCase& c = GetParam();
    DibPicture picture;
    ASSERT_TRUE(picture.Create(5, 5, DibPicture::kRgb24)); // something to free first
    ASSERT_EQ(picture.Create(c.width, c.height, c.kind), c.ok);
    if (!c.ok) {
        EXPECT_EQ(picture.Kind(), DibPicture::kEmpty);
        EXPECT_TRUE(picture.Pixels().empty());
        EXPECT_TRUE(picture.Info().empty());
        return;
    }
    EXPECT_EQ(picture.Stride(), c.stride);
    EXPECT_EQ(picture.Pixels().size(), static_cast<std::size_t>(c.stride * c.height));
    const std::vector<uint8_t>& info = picture.Info();
    ASSERT_EQ(info.size(), c.kind == DibPicture::kGrey8 ? 40u + 1024u : 40u);
    EXPECT_EQ(info[0], 40);
    EXPECT_EQ(info[4] | info[5] << 8, c.width);
    EXPECT_EQ(info[8] | info[9] << 8, c.height);
    EXPECT_EQ(info[12], 1);
    EXPECT_EQ(info[14], c.kind == DibPicture::kGrey8 ? 8 : 24);
    if (c.kind == DibPicture::kGrey8) {
        for (int i : {0, 1, 127, 255}) {
            EXPECT_EQ(std::vector<uint8_t>(info.begin() + 40 + 4 * i, info.begin() + 44 + 4 * i),
                (std::vector<uint8_t> {uint8_t(i), uint8_t(i), uint8_t(i), 0}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DibPictureCreateTest,
    ::testing::Values(CreateCase {192, 144, DibPicture::kRgb24, true, 576},
        CreateCase {3, 2, DibPicture::kRgb24, true, 12}, CreateCase {5, 1, DibPicture::kGrey8, true, 8},
        CreateCase {4, 4, 2, false, 0}, CreateCase {4, 4, DibPicture::kEmpty, false, 0},
        CreateCase {0, 4, DibPicture::kRgb24, false, 0},
        CreateCase {DibPicture::kMaxSide + 1, 1, DibPicture::kGrey8, false, 0}));

TEST(DibPictureLoadTest, EightBitsAreExpandedThroughThePalette)
{
    for (int32_t height : {2, -2}) {
        DibPicture picture;
        BmpLayout layout;
        layout.height = height;
        ASSERT_EQ(Load(picture, MakeBmp(layout)), DibPicture::LoadResult::Loaded);
        EXPECT_EQ(picture.Kind(), DibPicture::kRgb24);
        EXPECT_EQ(picture.BitsPerPixel(), 24);
        EXPECT_EQ(picture.Width(), 3);
        EXPECT_EQ(picture.Height(), 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                // Stored row 0 is the bottom row of a bottom-up file, the top of a top-down one.
                const int storedRow = height > 0 ? 1 - y : y;
                const int index = x + 10 * storedRow;
                const DibPicture::Bgr p = picture.PixelAt(x, y);
                EXPECT_EQ(p.b, index);
                EXPECT_EQ(p.g, 2 * index);
                EXPECT_EQ(p.r, 3 * index);
            }
    }
}

TEST(DibPictureLoadTest, TwentyFourBitsAreCopied)
{
    DibPicture picture;
    BmpLayout layout;
    layout.bits = 24;
    layout.width = 5;
    ASSERT_EQ(Load(picture, MakeBmp(layout)), DibPicture::LoadResult::Loaded);
    const DibPicture::Bgr p = picture.PixelAt(4, 0); // top row: stored row 1
    EXPECT_EQ(p.b, 14);
    EXPECT_EQ(p.g, 114);
    EXPECT_EQ(p.r, 214);
}

TEST(DibPictureLoadTest, IndicesPastAShortPaletteShowBlack)
{
    DibPicture picture;
    BmpLayout layout;
    layout.coloursUsed = 2;
    layout.paletteEntries = 2;
    ASSERT_EQ(Load(picture, MakeBmp(layout)), DibPicture::LoadResult::Loaded);
    EXPECT_EQ(picture.PixelAt(1, 1).r, 3); // index 1
    const DibPicture::Bgr beyond = picture.PixelAt(2, 1); // index 2, no such entry
    EXPECT_EQ(beyond.b + beyond.g + beyond.r, 0);
}

struct BadCase {
    const char* name;
    BmpLayout layout;
    std::size_t cutTo; // 0: whole file
    DibPicture::LoadResult result;
};

class DibPictureBadFileTest : public ::testing::TestWithParam<BadCase> { };

TEST_P(DibPictureBadFileTest, FailsAndLeavesThePictureEmpty)
{
    const BadCase& c = GetParam();
    std::vector<uint8_t> bytes = MakeBmp(c.layout);
    if (c.cutTo)
        bytes.resize(c.cutTo);
    DibPicture picture;
    ASSERT_TRUE(picture.Create(2, 2, DibPicture::kGrey8));
    EXPECT_EQ(Load(picture, bytes), c.result);
    EXPECT_EQ(picture.Kind(), DibPicture::kEmpty);
    EXPECT_TRUE(picture.Pixels().empty());
}

using R = DibPicture::LoadResult;
INSTANTIATE_TEST_SUITE_P(Files, DibPictureBadFileTest,
    ::testing::Values(BadCase {"OneBit", {3, 2, 1}, 0, R::UnsupportedDepth},
        BadCase {"FourBits", {3, 2, 4}, 0, R::UnsupportedDepth},
        BadCase {"SixteenBits", {3, 2, 16}, 0, R::UnsupportedDepth},
        BadCase {"ThirtyTwoBits", {3, 2, 32}, 0, R::UnsupportedDepth},
        BadCase {"Compressed", {3, 2, 8, 1}, 0, R::Unreadable},
        BadCase {"ZeroWidth", {0, 2}, 0, R::Unreadable}, BadCase {"ZeroHeight", {3, 0}, 0, R::Unreadable},
        BadCase {"Huge", {DibPicture::kMaxSide + 1, 1, 24}, 0, R::Unreadable},
        BadCase {"CutInThePixels", {}, 14 + 40 + 1024 + 5, R::Unreadable},
        BadCase {"CutInThePalette", {}, 14 + 40 + 100, R::Unreadable},
        BadCase {"CutInTheHeader", {}, 30, R::Unreadable}, BadCase {"Nothing", {}, 1, R::Unreadable}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DibPictureLoadTest, NotABitmapFile)
{
    DibPicture picture;
    std::vector<uint8_t> bytes = MakeBmp({});
    bytes[0] = 'P';
    EXPECT_EQ(Load(picture, bytes), R::Unreadable);
    EXPECT_EQ(picture.LoadBitmapFile(nullptr, 0), R::Unreadable);
    // A header that claims to be larger than the file.
    bytes = MakeBmp({});
    bytes[14] = 0xff;
    bytes[15] = 0xff;
    EXPECT_EQ(Load(picture, bytes), R::Unreadable);
}

} // namespace
} // namespace velmora
