#include "scene/GlApi.h"
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "scene/headless/HeadlessContext.h"
#include "scene/headless/PngWriter.h"
#include "scene/SceneNotifier.h"
#include "TempFolder.h"

namespace velmora {
namespace {

TEST(HeadlessContext, ProvidesDepthAndStencilAtTheAskedSize)
{
    std::string error;
    const auto context = HeadlessContext::Create(123, 45, error);
    ASSERT_TRUE(context) << error;
    EXPECT_EQ(context->Width(), 123);
    EXPECT_EQ(context->Height(), 45);
    EXPECT_GE(context->DepthBits(), 16);
    EXPECT_GE(context->StencilBits(), 2);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 123);
    EXPECT_EQ(viewport[3], 45);
    // The fixed-function pipeline is there (compatibility profile).
    glBegin(GL_POINTS);
    glEnd();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(HeadlessContext, RejectsEmptySizes)
{
    std::string error;
    EXPECT_FALSE(HeadlessContext::Create(0, 10, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(HeadlessContext::Create(10, -1, error));
    EXPECT_FALSE(error.empty());
}

TEST(HeadlessContext, ReadsRowsTopFirst)
{
    std::string error;
    const auto context = HeadlessContext::Create(8, 6, error);
    ASSERT_TRUE(context) << error;
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // GL row 5 is the top row of the picture.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 5, 8, 1);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    const auto px = context->ReadPixelsTopDown();
    ASSERT_EQ(px.size(), 8u * 6u * 4u);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[2], 0);
    const std::size_t bottom = 5u * 8u * 4u;
    EXPECT_EQ(px[bottom], 0);
    EXPECT_EQ(px[bottom + 2], 255);
}

TEST(PngWriter, WritesRgbRowsThatReadBack)
{
    const testing::TempFolder folder {"velmora-png"};
    const std::string path = folder.File("a.png");
    std::vector<uint8_t> rgba(3 * 2 * 4, 0);
    rgba[0] = 10; // top-left red
    rgba[1] = 20;
    rgba[2] = 30;
    rgba[3] = 0; // alpha is dropped
    rgba[(1 * 3 + 2) * 4 + 1] = 250; // bottom-right green
    std::string error;
    ASSERT_TRUE(WritePng(path, 3, 2, rgba, error)) << error;

    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> back(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr));
    EXPECT_EQ(back[0], 10);
    EXPECT_EQ(back[1], 20);
    EXPECT_EQ(back[2], 30);
    EXPECT_EQ(back[(1 * 3 + 2) * 3 + 1], 250);
}

TEST(PngWriter, RefusesMismatchedSizesAndUnwritablePaths)
{
    std::string error;
    EXPECT_FALSE(WritePng("/tmp/never.png", 4, 4, std::vector<uint8_t>(10), error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", 1, 1, std::vector<uint8_t>(4), error));
    EXPECT_FALSE(error.empty());
}

TEST(StderrNotifier, KeepsTheFirstErrorAndTheQuitRequest)
{
    StderrNotifier n;
    EXPECT_FALSE(n.QuitRequested());
    EXPECT_EQ(n.ErrorCount(), 0);
    n.ShowError("Can't load pTexture.");
    n.ShowPlainMessage("Can't allocate memory for stars data");
    n.RequestQuit();
    EXPECT_TRUE(n.QuitRequested());
    EXPECT_EQ(n.ErrorCount(), 2);
    EXPECT_EQ(n.FirstError(), "Can't load pTexture.");
    n.ShowError(std::string(1000, 'x'));
    EXPECT_EQ(n.FirstError(), "Can't load pTexture.");
}

} // namespace
} // namespace velmora
