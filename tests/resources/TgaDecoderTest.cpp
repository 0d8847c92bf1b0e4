#include "resources/TgaDecoder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "resources/DecodedImage.h"
#include "ResourceTestSupport.h"

namespace velmora {
namespace {

using test::Bytes;
using test::EncodeTga;
using test::MakeBands;
using test::MakeGradient;
using test::Picture;
using test::TgaHeader;
using test::TraceCapture;

Bytes PixelsOf(const DecodedImage& image)
{
    return Bytes(image.pixels.get(), image.pixels.get() + image.ByteCount());
}

bool Decode(const Bytes& file, DecodedImage& image)
{
    return TgaDecoder(file.data(), file.size(), image, "test.tga");
}

TEST(TgaDecoderTest, BothRowOrdersGiveTheSamePixelsTopRowFirst)
{
    for (int channels : {3, 4}) {
        const Picture picture = MakeGradient(5, 4, channels);
        DecodedImage bottomFirst, topFirst;
        ASSERT_TRUE(Decode(EncodeTga(picture, false, false), bottomFirst));
        ASSERT_TRUE(Decode(EncodeTga(picture, false, true), topFirst));
        EXPECT_EQ(bottomFirst.width, 5);
        EXPECT_EQ(bottomFirst.height, 4);
        EXPECT_EQ(bottomFirst.bitsPerPixel, channels * 8);
        EXPECT_EQ(PixelsOf(bottomFirst), picture.pixels) << channels;
        EXPECT_EQ(PixelsOf(topFirst), picture.pixels) << channels;
    }
}

TEST(TgaDecoderTest, ChannelsAreReorderedFromBgr)
{
    Bytes file = TgaHeader(2, 1, 1, 24, 0x20);
    file.insert(file.end(), {10, 20, 30}); // B G R
    DecodedImage image;
    ASSERT_TRUE(Decode(file, image));
    EXPECT_EQ(PixelsOf(image), (Bytes {30, 20, 10}));

    Bytes alpha = TgaHeader(2, 1, 1, 32, 0x20);
    alpha.insert(alpha.end(), {10, 20, 30, 77});
    ASSERT_TRUE(Decode(alpha, image));
    EXPECT_EQ(image.bitsPerPixel, 32);
    EXPECT_EQ(PixelsOf(image), (Bytes {30, 20, 10, 77}));
}

TEST(TgaDecoderTest, RunLengthMatchesItsUncompressedTwin)
{
    for (int channels : {3, 4}) {
        for (bool topFirst : {false, true}) {
            const Picture picture = MakeBands(37, 23, channels);
            const Bytes raw = EncodeTga(picture, false, topFirst);
            const Bytes rle = EncodeTga(picture, true, topFirst);
            ASSERT_LT(rle.size(), raw.size()); // the bands really compress
            DecodedImage fromRaw, fromRle;
            ASSERT_TRUE(Decode(raw, fromRaw));
            ASSERT_TRUE(Decode(rle, fromRle));
            EXPECT_EQ(PixelsOf(fromRle), PixelsOf(fromRaw));
            EXPECT_EQ(PixelsOf(fromRle), picture.pixels);
        }
    }
}

TEST(TgaDecoderTest, PacketsRunAcrossRowEnds)
{
    // 3 x 2, bottom row first in the file: one run of 4 then a raw packet of 2.
    Bytes file = TgaHeader(10, 3, 2, 24, 0);
    file.insert(file.end(), {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9});
    DecodedImage image;
    ASSERT_TRUE(Decode(file, image));
    // Top row = second file row: the run's last pixel, then the raw pixels.
    EXPECT_EQ(PixelsOf(image), (Bytes {3, 2, 1, 6, 5, 4, 9, 8, 7, 3, 2, 1, 3, 2, 1, 3, 2, 1}));
}

TEST(TgaDecoderTest, FinalPacketPastTheLastPixelIsCut)
{
    // 2 x 2 with a run of 128 and a raw packet whose extra pixels are absent.
    Bytes run = TgaHeader(10, 2, 2, 24, 0x20);
    run.insert(run.end(), {0xFF, 1, 2, 3});
    DecodedImage image;
    ASSERT_TRUE(Decode(run, image));
    EXPECT_EQ(PixelsOf(image), (Bytes {3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1}));

    Bytes raw = TgaHeader(10, 2, 1, 24, 0x20);
    raw.insert(raw.end(), {0x7F, 1, 2, 3, 4, 5, 6}); // claims 128 pixels, holds 2
    ASSERT_TRUE(Decode(raw, image));
    EXPECT_EQ(PixelsOf(image), (Bytes {3, 2, 1, 6, 5, 4}));
}

TEST(TgaDecoderTest, UnsupportedTypesAndColourMapsAreRefused)
{
    struct Row {
        int type;
        int depth;
        int colourMapType;
        const char* message;
    };
    const Row rows[] = {
        {1, 8, 1, "Unsupported tga image \"test.tga\" type (type=1)"}, // colour-mapped
        {3, 8, 0, "Unsupported tga image \"test.tga\" type (type=3)"}, // greyscale
        {2, 24, 1, "Unsupported tga image \"test.tga\" pixel size (size=24)"}, // true colour with a map
        {2, 16, 0, "Unsupported tga image \"test.tga\" pixel size (size=16)"},
    };
    for (const Row& row : rows) {
        TraceCapture trace;
        DecodedImage image;
        Bytes file = TgaHeader(row.type, 2, 2, row.depth, 0, row.colourMapType);
        file.resize(64, 0);
        EXPECT_FALSE(Decode(file, image)) << row.message;
        EXPECT_FALSE(image.pixels) << row.message;
        ASSERT_EQ(trace.messages.size(), 1u) << row.message;
        EXPECT_EQ(trace.messages[0], row.message);
    }
}

TEST(TgaDecoderTest, TruncatedDataFailsWithoutReadingPastIt)
{
    const Picture picture = MakeBands(16, 8, 3);
    for (bool runLength : {false, true}) {
        const Bytes whole = EncodeTga(picture, runLength, false);
        for (std::size_t cut :
            {std::size_t {0}, std::size_t {10}, std::size_t {18}, whole.size() / 2, whole.size() - 1}) {
            // An exact-size heap copy, so the sanitizers catch any read past it.
            std::unique_ptr<unsigned char[]> exact(new unsigned char[cut + 1]);
            std::memcpy(exact.get(), whole.data(), cut);
            DecodedImage image;
            EXPECT_FALSE(TgaDecoder(exact.get(), cut, image, "cut.tga")) << runLength << " " << cut;
            EXPECT_EQ(image.pixels, nullptr);
            EXPECT_EQ(image.width, 0);
        }
    }
}

TEST(TgaDecoderTest, EmptyAndOversizedDimensionsAreRefused)
{
    DecodedImage image;
    Bytes zeroWidth = TgaHeader(2, 0, 5, 24, 0);
    EXPECT_FALSE(Decode(zeroWidth, image));
    // 65,535 x 65,535 in run-length form, with one packet: refused before any
    // allocation by the dimension cap.
    Bytes huge = TgaHeader(10, 65535, 65535, 32, 0);
    huge.insert(huge.end(), {0xFF, 1, 2, 3, 4});
    EXPECT_FALSE(Decode(huge, image));
    // Within the cap but far more pixels than the packets could cover.
    Bytes sparse = TgaHeader(10, 4000, 4000, 24, 0);
    sparse.insert(sparse.end(), {0xFF, 1, 2, 3});
    EXPECT_FALSE(Decode(sparse, image));
}

TEST(TgaDecoderTest, DecodingAgainReplacesThePreviousImage)
{
    DecodedImage image;
    ASSERT_EQ(Decode(EncodeTga(MakeGradient(4, 4, 4), false, true), image), 1);
    const Picture small = MakeGradient(2, 1, 3);
    ASSERT_TRUE(Decode(EncodeTga(small, true, true), image));
    EXPECT_EQ(image.bitsPerPixel, 24);
    EXPECT_EQ(PixelsOf(image), small.pixels);
    Bytes bad = TgaHeader(9, 2, 2, 24, 0);
    EXPECT_FALSE(Decode(bad, image));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.bitsPerPixel, 0);
}

} // namespace
} // namespace velmora
