#include "resources/JpegMemoryDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "resources/DecodedImage.h"
#include "ResourceTestSupport.h"

namespace velmora {
namespace {

using test::Bytes;
using test::EncodeJpeg;

// Top half red, bottom half blue: row order and channel order both show.
Bytes RedOverBlue(int width, int height)
{
    Bytes rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool top = y < height / 2;
            rgb.insert(rgb.end(),
                {static_cast<unsigned char>(top ? 230 : 10), 20, static_cast<unsigned char>(top ? 10 : 230)});
        }
    return rgb;
}

const unsigned char* PixelAt(const DecodedImage& image, int x, int y)
{
    return image.pixels.get() + (static_cast<std::size_t>(y) * image.width + x) * 3;
}

void ExpectNear(const unsigned char* px, int r, int g, int b)
{
    EXPECT_NEAR(px[0], r, 12);
    EXPECT_NEAR(px[1], g, 12);
    EXPECT_NEAR(px[2], b, 12);
}

// Where the first marker FF <code> starts; 0 when there is none.
std::size_t FindMarker(const Bytes& jpeg, unsigned char code)
{
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code)
            return i;
    return 0;
}

TEST(JpegMemoryDecoderTest, DecodesToRgbRowsTopFirst)
{
    const Bytes jpeg = EncodeJpeg(RedOverBlue(64, 48), 64, 48, 3);
    DecodedImage image;
    JpegMemoryDecoder decoder;
    ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 48);
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(image.ByteCount(), 64u * 48u * 3u);
    ExpectNear(PixelAt(image, 5, 2), 230, 20, 10);
    ExpectNear(PixelAt(image, 60, 45), 10, 20, 230);
    EXPECT_EQ(decoder.BytesConsumed(), jpeg.size());
}

TEST(JpegMemoryDecoderTest, OddSizeAndProgressiveDecode)
{
    const Bytes jpeg = EncodeJpeg(RedOverBlue(37, 19), 37, 19, 3, 90, true);
    DecodedImage image;
    ASSERT_TRUE(JpegMemoryDecoder().Decode(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.width, 37);
    EXPECT_EQ(image.height, 19);
    ExpectNear(PixelAt(image, 36, 0), 230, 20, 10);
    ExpectNear(PixelAt(image, 0, 18), 10, 20, 230);
}

TEST(JpegMemoryDecoderTest, InputLargerThanOneSourceChunk)
{
    // Noise compresses badly, so the file spans several 65,536-byte slices.
    const int w = 320, h = 320;
    Bytes rgb(static_cast<std::size_t>(w) * h * 3);
    uint32_t seed = 12345;
    for (unsigned char& b : rgb) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 24);
    }
    const Bytes jpeg = EncodeJpeg(rgb, w, h, 3, 100);
    ASSERT_GT(jpeg.size(), 2 * JpegMemoryDecoder::kSourceChunkSize);
    DecodedImage image;
    JpegMemoryDecoder decoder;
    ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(decoder.BytesConsumed(), jpeg.size());
    // The slices must add up to exactly what libjpeg's own source decodes.
    int refWidth = 0, refHeight = 0;
    const Bytes reference = test::DecodeJpegReference(jpeg, refWidth, refHeight);
    ASSERT_EQ(refWidth, w);
    ASSERT_EQ(refHeight, h);
    EXPECT_TRUE(Bytes(image.pixels.get(), image.pixels.get() + image.ByteCount()) == reference);
}

TEST(JpegMemoryDecoderTest, GreyscaleBecomesRgb)
{
    const int w = 16, h = 16;
    Bytes grey;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grey.push_back(static_cast<unsigned char>(y < 8 ? 200 : 40));
    const Bytes jpeg = EncodeJpeg(grey, w, h, 1);
    DecodedImage image;
    ASSERT_TRUE(JpegMemoryDecoder().Decode(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(image.ByteCount(), static_cast<std::size_t>(w * h * 3));
    const unsigned char* top = PixelAt(image, 3, 1);
    EXPECT_NEAR(top[0], 200, 6);
    EXPECT_EQ(top[0], top[1]);
    EXPECT_EQ(top[1], top[2]);
    ExpectNear(PixelAt(image, 3, 14), 40, 40, 40);
}

TEST(JpegMemoryDecoderTest, AdobeCmykBecomesRgb)
{
    // Adobe CMYK is stored inverted (255 = no ink): full cyan-inverse and no
    // black give red; the lower half has no ink at all and gives white.
    const int w = 16, h = 16;
    Bytes cmyk;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (y < 8)
                cmyk.insert(cmyk.end(), {255, 0, 0, 255});
            else
                cmyk.insert(cmyk.end(), {255, 255, 255, 255});
    const Bytes jpeg = EncodeJpeg(cmyk, w, h, 4, 95);
    DecodedImage image;
    ASSERT_TRUE(JpegMemoryDecoder().Decode(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(image.ByteCount(), static_cast<std::size_t>(w * h * 3));
    ExpectNear(PixelAt(image, 2, 2), 255, 0, 0);
    ExpectNear(PixelAt(image, 2, 13), 255, 255, 255);
}

TEST(JpegMemoryDecoderTest, CorruptDataFailsCleanly)
{
    DecodedImage image;
    JpegMemoryDecoder decoder;
    const Bytes text = test::ToBytes("definitely not a JPEG file");
    EXPECT_FALSE(decoder.Decode(text.data(), text.size(), image));
    EXPECT_EQ(image.pixels, nullptr);

    // Only the start-of-image marker: the supplied end marker ends it without an image.
    const Bytes soiOnly {0xFF, 0xD8};
    EXPECT_FALSE(decoder.Decode(soiOnly.data(), soiOnly.size(), image));

    // A damaged frame header (zero components).
    Bytes jpeg = EncodeJpeg(RedOverBlue(16, 16), 16, 16, 3);
    const std::size_t frame = FindMarker(jpeg, 0xC0);
    ASSERT_GT(frame, 0u);
    jpeg[frame + 9] = 0;
    EXPECT_FALSE(decoder.Decode(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);

    EXPECT_FALSE(decoder.Decode(nullptr, 10, image));
    EXPECT_FALSE(decoder.Decode(text.data(), 0, image));
}

TEST(JpegMemoryDecoderTest, TruncatedDataEndsAtTheBlock)
{
    const Bytes jpeg = EncodeJpeg(RedOverBlue(64, 64), 64, 64, 3);
    // Cut halfway through the scan: the headers are intact, the rest of the
    // picture comes out grey; nothing past the cut is read.
    const std::size_t scan = FindMarker(jpeg, 0xDA);
    ASSERT_GT(scan, 0u);
    const std::size_t cut = scan + (jpeg.size() - scan) / 2;
    std::unique_ptr<unsigned char[]> exact(new unsigned char[cut]);
    std::memcpy(exact.get(), jpeg.data(), cut);
    DecodedImage image;
    JpegMemoryDecoder decoder;
    ASSERT_TRUE(decoder.Decode(exact.get(), cut, image));
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(decoder.BytesConsumed(), cut);
    ExpectNear(PixelAt(image, 1, 1), 230, 20, 10);

    // Cut inside the headers: no image, a clean failure.
    EXPECT_FALSE(decoder.Decode(exact.get(), scan - 20, image));
}

// A picture whose declared size its data cannot hold (less than a bit per
// 8 x 8 block) is refused before any pixel is painted; one that could hold it
// decodes, its missing part grey.
TEST(JpegMemoryDecoderTest, DeclaredSizeMustFitTheData)
{
    const Bytes original = EncodeJpeg(RedOverBlue(64, 64), 64, 64, 3);
    const std::size_t sof = FindMarker(original, 0xC0);
    ASSERT_GT(sof, 0u);
    const int64_t room = static_cast<int64_t>(original.size()) * kMaxJpegPixelsPerByte;
    struct Row {
        int width;
        int height;
        bool decodes;
    };
    const Row rows[] = {
        {64, 64, true},
        {256, static_cast<int>(room / 256), true}, // just fits
        {256, static_cast<int>(room / 256) + 8, false},
        {2056, 8193, false},
        {4096, 4096, false},
    };
    for (const bool arithmetic : {false, true})
        for (const Row& row : rows) {
            if (arithmetic && row.decodes)
                continue; // the encoder's Huffman data does not decode as arithmetic
            Bytes jpeg = original;
            if (arithmetic)
                jpeg[sof + 1] = 0xC9; // same frame, arithmetic coding
            jpeg[sof + 5] = static_cast<unsigned char>(row.height >> 8);
            jpeg[sof + 6] = static_cast<unsigned char>(row.height & 0xFF);
            jpeg[sof + 7] = static_cast<unsigned char>(row.width >> 8);
            jpeg[sof + 8] = static_cast<unsigned char>(row.width & 0xFF);
            DecodedImage image;
            JpegMemoryDecoder decoder;
            EXPECT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), image), row.decodes)
                << row.width << "x" << row.height << (arithmetic ? " arithmetic" : "");
            if (row.decodes) {
                EXPECT_EQ(image.width, row.width);
                EXPECT_EQ(image.height, row.height);
                ExpectNear(PixelAt(image, 1, 1), 230, 20, 10);
            } else {
                EXPECT_FALSE(image.pixels);
            }
        }
}

TEST(JpegMemoryDecoderTest, DecoderIsReusableAndIndependent)
{
    const Bytes a = EncodeJpeg(RedOverBlue(8, 8), 8, 8, 3);
    const Bytes b = EncodeJpeg(RedOverBlue(24, 16), 24, 16, 3);
    JpegMemoryDecoder first, second;
    DecodedImage imageA, imageB;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(first.Decode(a.data(), a.size(), imageA));
        ASSERT_TRUE(second.Decode(b.data(), b.size(), imageB));
    }
    EXPECT_EQ(imageA.width, 8);
    EXPECT_EQ(imageB.width, 24);
    EXPECT_EQ(imageB.height, 16);
}

} // namespace
} // namespace velmora
