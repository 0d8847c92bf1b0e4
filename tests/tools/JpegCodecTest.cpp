// JPEG encoding of the pictures: baseline streams, the chosen colour
// sampling, faithful round trips, and refusal of bad input.

#include "JpegCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace velmora::art {
namespace {

Image Gradient(int width, int height)
{
    Image im;
    im.name = "gradient.jpg";
    im.width = width;
    im.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            im.rgb.push_back(static_cast<uint8_t>(x * 255 / (width - 1)));
            im.rgb.push_back(static_cast<uint8_t>(y * 255 / (height - 1)));
            im.rgb.push_back(static_cast<uint8_t>(128 + (x - y) / 4));
        }
    }
    return im;
}

// Offset of the frame header's marker (0xFF, kind), or npos.
size_t FindMarker(const std::vector<uint8_t>& jpeg, uint8_t kind)
{
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == kind) {
            return i;
        }
    }
    return std::string::npos;
}

TEST(JpegCodec, WritesBaselineFramesWithTheRequestedSampling)
{
    const Image im = Gradient(64, 32);
    const std::vector<uint8_t> full = EncodeJpeg(im, 92, ChromaSampling::Full);
    const std::vector<uint8_t> halved = EncodeJpeg(im, 92, ChromaSampling::Halved);
    for (const auto* jpeg : {&full, &halved}) {
        ASSERT_GE(jpeg->size(), 4u);
        EXPECT_EQ((*jpeg)[0], 0xFF);
        EXPECT_EQ((*jpeg)[1], 0xD8);
        EXPECT_EQ(FindMarker(*jpeg, 0xC2), std::string::npos) << "progressive frame";
    }
    // SOF0: marker, length (2), precision, height (2), width (2), components,
    // then per component: id, sampling (H << 4 | V), table.
    const size_t sofFull = FindMarker(full, 0xC0);
    const size_t sofHalved = FindMarker(halved, 0xC0);
    ASSERT_NE(sofFull, std::string::npos);
    ASSERT_NE(sofHalved, std::string::npos);
    EXPECT_EQ(full.at(sofFull + 5) << 8 | full.at(sofFull + 6), 32);
    EXPECT_EQ(full.at(sofFull + 7) << 8 | full.at(sofFull + 8), 64);
    ASSERT_EQ(full.at(sofFull + 9), 3);
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_EQ(full.at(sofFull + 11 + 3 * c), 0x11) << "component " << c;
    }
    EXPECT_EQ(halved.at(sofHalved + 11), 0x22);
    EXPECT_EQ(halved.at(sofHalved + 14), 0x11);
}

TEST(JpegCodec, RoundTripKeepsSizeAndColours)
{
    const Image im = Gradient(96, 40);
    const std::vector<uint8_t> jpeg = EncodeJpeg(im, 92, ChromaSampling::Full);
    const auto decoded = DecodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->width, 96);
    ASSERT_EQ(decoded->height, 40);
    ASSERT_EQ(decoded->rgb.size(), im.rgb.size());
    long error = 0;
    int worst = 0;
    for (size_t i = 0; i < im.rgb.size(); ++i) {
        const int d = std::abs(static_cast<int>(decoded->rgb[i]) - im.rgb[i]);
        error += d;
        worst = std::max(worst, d);
    }
    EXPECT_LT(static_cast<double>(error) / static_cast<double>(im.rgb.size()), 2.0);
    EXPECT_LT(worst, 16);
    // Rows stay in order: the top row is the dark-green one.
    EXPECT_LT(decoded->rgb[1], 10);
    EXPECT_GT(decoded->rgb[(39 * 96) * 3 + 1], 245);
}

TEST(JpegCodec, SameBytesForTheSamePicture)
{
    const Image im = Gradient(48, 48);
    EXPECT_EQ(EncodeJpeg(im, 92, ChromaSampling::Halved), EncodeJpeg(im, 92, ChromaSampling::Halved));
}

TEST(JpegCodec, RefusesPicturesWhoseSizesDisagree)
{
    Image im = Gradient(16, 16);
    im.rgb.pop_back();
    EXPECT_THROW(EncodeJpeg(im, 92, ChromaSampling::Full), std::runtime_error);
    Image empty;
    EXPECT_THROW(EncodeJpeg(empty, 92, ChromaSampling::Full), std::runtime_error);
}

TEST(JpegCodec, DecodingRefusesGarbageAndOversizedFrames)
{
    const std::vector<uint8_t> garbage {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(DecodeJpeg(garbage.data(), garbage.size()).has_value());
    EXPECT_FALSE(DecodeJpeg(nullptr, 0).has_value());

    std::vector<uint8_t> jpeg = EncodeJpeg(Gradient(16, 16), 92, ChromaSampling::Full);
    const size_t sof = FindMarker(jpeg, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    const int tooWide = kMaxDecodedSide + 1;
    jpeg[sof + 7] = static_cast<uint8_t>(tooWide >> 8);
    jpeg[sof + 8] = static_cast<uint8_t>(tooWide & 0xFF);
    EXPECT_FALSE(DecodeJpeg(jpeg.data(), jpeg.size()).has_value());
}

} // namespace
} // namespace velmora::art
