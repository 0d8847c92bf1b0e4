// Small frames of the whole scene compared with committed pictures, so a
// change that alters the look cannot pass unnoticed. Set
// VELMORA_UPDATE_REFERENCE=1 to write the current frames as the new pictures.

#include <png.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ElementGl.h"
#include "scene/headless/PngWriter.h"

#ifndef VELMORA_REFERENCE_DIR
#error "VELMORA_REFERENCE_DIR must name the folder of the reference pictures"
#endif

namespace velmora {
namespace {

using test::ElementGl;

constexpr int kWidth = 320;
constexpr int kHeight = 180;
// llvmpipe is deterministic on one machine; the slack absorbs other Mesa
// versions' rounding, not a changed look.
constexpr int kChannelTolerance = 12;
constexpr double kMaxDifferingFraction = 0.004;
constexpr std::size_t kMaxPngSide = 4096;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // top row first
};

bool ReadPng(const std::string& path, Picture& out, std::string& error)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        error = image.message;
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxPngSide || image.height > kMaxPngSide) {
        png_image_free(&image);
        error = "unexpected picture size";
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) == 0) {
        error = image.message;
        return false;
    }
    return true;
}

constexpr RingPaths kAllRingPaths {
    .oneColourPass = true, .onePatternPass = true, .patternsInColourPass = true};

struct ReferenceRow {
    double time;
    const char* name;
    // false: the ring colour and patterns in separate passes, as without a
    // grey mask or texture combiners; the same pictures hold for both.
    bool onePassRings;
};

class ReferenceImage : public test::ElementGlSuite<kWidth, kHeight>,
                       public ::testing::WithParamInterface<ReferenceRow> {
protected:
    void TearDown() override
    {
        if (gl_)
            gl_->Scene().UseRingPaths(kAllRingPaths);
    }

    // Draws a frame at clock t (twice, so the planet's material, which the
    // first frame sets after drawing, is in force) and compares it.
    void CheckFrame(double t, const std::string& name)
    {
        gl_->Scene().SetAnimationTime(t);
        gl_->Scene().DrawFrame();
        gl_->Scene().SetAnimationTime(t);
        gl_->Scene().DrawFrame();
        const std::vector<uint8_t> actual = gl_->Context().ReadPixelsTopDown();
        const std::string path = std::string(VELMORA_REFERENCE_DIR) + "/" + name;

        const char* update = std::getenv("VELMORA_UPDATE_REFERENCE");
        if (update != nullptr && std::string(update) == "1") {
            std::string error;
            ASSERT_TRUE(WritePng(path, kWidth, kHeight, actual, error)) << error;
            GTEST_SKIP() << "wrote " << path;
        }

        Picture expected;
        std::string error;
        ASSERT_TRUE(ReadPng(path, expected, error)) << path << ": " << error;
        ASSERT_EQ(expected.width, kWidth);
        ASSERT_EQ(expected.height, kHeight);
        ASSERT_EQ(expected.rgba.size(), actual.size());

        std::size_t differing = 0;
        int worst = 0;
        for (std::size_t i = 0; i + 3 < actual.size(); i += 4) {
            bool differs = false;
            for (std::size_t c = 0; c < 3; ++c) {
                const int d
                    = std::abs(static_cast<int>(actual[i + c]) - static_cast<int>(expected.rgba[i + c]));
                worst = std::max(worst, d);
                differs = differs || d > kChannelTolerance;
            }
            differing += differs ? 1 : 0;
        }
        const double fraction = static_cast<double>(differing) / (kWidth * kHeight);
        if (fraction > kMaxDifferingFraction) {
            // Keep the frame next to the test binary for a look.
            std::string ignored;
            WritePng(name + ".actual.png", kWidth, kHeight, actual, ignored);
        }
        EXPECT_LE(fraction, kMaxDifferingFraction)
            << name << ": " << differing << " pixels differ by more than " << kChannelTolerance << " (worst "
            << worst << ")";
    }
};

TEST_P(ReferenceImage, FrameMatchesItsPicture)
{
    const bool one = GetParam().onePassRings;
    gl_->Scene().UseRingPaths(
        RingPaths {.oneColourPass = one, .onePatternPass = one, .patternsInColourPass = one});
    ASSERT_EQ(gl_->Scene().RingPathsInUse().oneColourPass, one);
    ASSERT_EQ(gl_->Scene().RingPathsInUse().onePatternPass, one);
    ASSERT_EQ(gl_->Scene().RingPathsInUse().patternsInColourPass, one);
    CheckFrame(GetParam().time, GetParam().name);
}

// The start of the tour, the Sun and its flares in view, and a view near a
// ring plane crossing.
INSTANTIATE_TEST_SUITE_P(Times, ReferenceImage,
    ::testing::Values(ReferenceRow {7000.0, "tour-7000.png", true},
        ReferenceRow {6180.0, "sun-flares-6180.png", true},
        ReferenceRow {6915.0, "ring-plane-6915.png", true}, ReferenceRow {7000.0, "tour-7000.png", false},
        ReferenceRow {6180.0, "sun-flares-6180.png", false},
        ReferenceRow {6915.0, "ring-plane-6915.png", false}));

} // namespace
} // namespace velmora
