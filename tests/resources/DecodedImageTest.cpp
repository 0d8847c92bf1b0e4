#include "resources/DecodedImage.h"

#include <gtest/gtest.h>

#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "ResourceTestSupport.h"

namespace velmora {
namespace {

using test::Bytes;
using test::TraceCapture;

constexpr int kImagesId = 7401;

class DecodedImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tga_ = test::MakeGradient(6, 3, 4);
        Bytes rgb;
        for (int i = 0; i < 32 * 16; ++i)
            rgb.insert(rgb.end(), {200, 100, 50});
        zip_ = test::WriteZip({
            {"pic.tga", test::EncodeTga(tga_, true, false)},
            {"Photo.jpg", test::EncodeJpeg(rgb, 32, 16, 3)},
            {"upper.TGA", test::EncodeTga(tga_, false, true)},
            {"long.jpeg", test::EncodeJpeg(rgb, 32, 16, 3)},
            {"noextension", test::EncodeTga(tga_, false, true)},
            {"broken.jpg", test::ToBytes("not a jpeg at all")},
            {"broken.tga", test::TgaHeader(1, 2, 2, 8, 0, 1)},
        });
        resource_ = std::make_unique<ScopedProgramResource>(
            kArchiveResourceType, kImagesId, zip_.data(), zip_.size());
        ASSERT_TRUE(archive_.Open(kImagesId));
    }

    test::Picture tga_;
    Bytes zip_;
    std::unique_ptr<ScopedProgramResource> resource_;
    ResourceArchive archive_;
    TraceCapture trace_;
    DecodedImage image_;
};

TEST_F(DecodedImageTest, TgaMemberDecodes)
{
    ASSERT_TRUE(image_.Load(archive_, "pic.tga"));
    EXPECT_EQ(image_.width, 6);
    EXPECT_EQ(image_.height, 3);
    EXPECT_EQ(image_.bitsPerPixel, 32);
    EXPECT_EQ(Bytes(image_.pixels.get(), image_.pixels.get() + image_.ByteCount()), tga_.pixels);
    EXPECT_TRUE(trace_.messages.empty());
}

TEST_F(DecodedImageTest, JpegMemberDecodesWhateverTheNameCaseInTheArchive)
{
    ASSERT_TRUE(image_.Load(archive_, "photo.jpg"));
    EXPECT_EQ(image_.width, 32);
    EXPECT_EQ(image_.height, 16);
    EXPECT_EQ(image_.bitsPerPixel, 24);
    EXPECT_NEAR(image_.pixels.get()[0], 200, 6);
    EXPECT_NEAR(image_.pixels.get()[2], 50, 6);
}

TEST_F(DecodedImageTest, UnknownExtensionsFailAfterExtraction)
{
    // Extracted fine (the archive ignores case), refused by extension.
    EXPECT_FALSE(image_.Load(archive_, "upper.TGA"));
    EXPECT_FALSE(image_.Load(archive_, "long.jpeg"));
    EXPECT_FALSE(image_.Load(archive_, "noextension"));
    EXPECT_FALSE(image_.Load(archive_, "PIC.TGA"));
    ASSERT_EQ(trace_.messages.size(), 4u);
    EXPECT_EQ(trace_.messages[0], "Unknown image \"upper.TGA\" format");
    EXPECT_EQ(trace_.messages[2], "Unknown image \"noextension\" format");
    EXPECT_EQ(image_.pixels, nullptr);
}

TEST_F(DecodedImageTest, DecoderFailuresAreTracedAndLeaveNoPixels)
{
    ASSERT_TRUE(image_.Load(archive_, "pic.tga"));
    EXPECT_FALSE(image_.Load(archive_, "broken.jpg"));
    EXPECT_EQ(image_.pixels, nullptr);
    EXPECT_FALSE(image_.Load(archive_, "broken.tga"));
    EXPECT_FALSE(image_.Load(archive_, "missing.jpg"));
    ASSERT_EQ(trace_.messages.size(), 3u);
    EXPECT_EQ(trace_.messages[0], "Can't decompress jpeg image \"broken.jpg\"");
    EXPECT_EQ(trace_.messages[1], "Unsupported tga image \"broken.tga\" type (type=1)");
    EXPECT_EQ(trace_.messages[2], "File \"_ResourceData:missing.jpg\" not found");
    EXPECT_EQ(image_.pixels, nullptr);
}

} // namespace
} // namespace velmora
