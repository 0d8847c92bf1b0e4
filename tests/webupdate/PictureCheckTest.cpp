// The check that decides whether downloaded bytes are kept as a product's
// screenshot or icon: the committed picture corpus, and damaged headers.

#include "webupdate/PictureCheck.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace velmora::webupdate {
namespace {

std::vector<uint8_t> CorpusFile(const std::string& name)
{
    const std::string bytes
        = ::velmora::testing::ReadFileBytes(std::string(VELMORA_PICTURE_CORPUS) + "/" + name);
    return {bytes.begin(), bytes.end()};
}

struct CorpusCase {
    const char* file;
    bool jpeg;
    bool bitmap;
};

class PictureCorpusTest : public ::testing::TestWithParam<CorpusCase> { };

TEST_P(PictureCorpusTest, KnowsEachPictureForWhatItIs)
{
    const std::vector<uint8_t> bytes = CorpusFile(GetParam().file);
    EXPECT_EQ(IsJpegPicture(bytes.data(), bytes.size()), GetParam().jpeg);
    EXPECT_EQ(IsBitmapPicture(bytes.data(), bytes.size()), GetParam().bitmap);
}

INSTANTIATE_TEST_SUITE_P(Corpus, PictureCorpusTest,
    ::testing::Values(CorpusCase {"orange.jpg", true, false}, CorpusCase {"cut.jpg", false, false},
        CorpusCase {"rgb24.bmp", false, true}, CorpusCase {"topdown24.bmp", false, true},
        CorpusCase {"pal8.bmp", false, true}, CorpusCase {"rle8.bmp", false, true},
        CorpusCase {"core1.bmp", false, true}, CorpusCase {"fields16.bmp", false, true},
        CorpusCase {"truncated.bmp", false, false}, CorpusCase {"error_page.html", false, false},
        CorpusCase {"empty", false, false}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (c == '.')
                c = '_';
        return name;
    });

void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

struct DamageCase {
    const char* name;
    const char* file;
    std::size_t offset; // into the file
    uint32_t value; // written there, little-endian
};

class BitmapDamageTest : public ::testing::TestWithParam<DamageCase> { };

TEST_P(BitmapDamageTest, DamagedHeadersAreNoPicture)
{
    std::vector<uint8_t> bytes = CorpusFile(GetParam().file);
    ASSERT_TRUE(IsBitmapPicture(bytes.data(), bytes.size()));
    Put32(bytes, GetParam().offset, GetParam().value);
    EXPECT_FALSE(IsBitmapPicture(bytes.data(), bytes.size()));
}

// Offsets: 10 pixel offset, 14 header size, 18 width, 22 height, 26 planes
// and bits, 30 compression, 46 colours used; rle8.bmp's runs start at 70.
INSTANTIATE_TEST_SUITE_P(Headers, BitmapDamageTest,
    ::testing::Values(DamageCase {"PixelsPastTheEnd", "rgb24.bmp", 10, 1000},
        DamageCase {"PixelsInsideTheHeader", "pal8.bmp", 10, 20},
        DamageCase {"UnknownHeaderSize", "rgb24.bmp", 14, 41},
        DamageCase {"HeaderPastTheEnd", "rgb24.bmp", 14, 124}, DamageCase {"ZeroWidth", "rgb24.bmp", 18, 0},
        DamageCase {"HugeWidth", "rgb24.bmp", 18, 100000},
        DamageCase {"MoreRowsThanData", "rgb24.bmp", 22, 3},
        DamageCase {"HugeNegativeHeight", "rgb24.bmp", 22, 0x80000000u},
        DamageCase {"TwoPlanes", "rgb24.bmp", 26, 2 | 24u << 16},
        DamageCase {"SevenBits", "rgb24.bmp", 26, 1 | 7u << 16},
        DamageCase {"UnknownCompression", "rgb24.bmp", 30, 9}, DamageCase {"JpegInside", "rgb24.bmp", 30, 4},
        DamageCase {"MoreColoursThanBits", "pal8.bmp", 46, 257},
        DamageCase {"PaletteInThePixels", "pal8.bmp", 46, 200},
        DamageCase {"RunPastTheLine", "rle8.bmp", 70, 9 | 1u << 8},
        DamageCase {"NoEndOfPicture", "rle8.bmp", 80, 0x00000101u}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::webupdate
