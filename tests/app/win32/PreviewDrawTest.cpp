// The preview's picture drawn with GDI: copied pixel for pixel at its own
// size, halftone-scaled into any other.

#include "app/win32/PreviewWindow.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "TempFolder.h"

namespace velmora::win32 {
namespace {

struct Canvas {
    explicit Canvas(int width, int height)
        : width(width)
        , height(height)
    {
        BITMAPINFO info {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down, as PixelAt counts
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = ::CreateCompatibleDC(nullptr);
        bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        ::SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        ::DeleteDC(dc);
        ::DeleteObject(bitmap);
    }
    DibPicture::Bgr At(int x, int y) const
    {
        const uint8_t* p = bits + (static_cast<std::size_t>(y) * width + x) * 4;
        return {p[0], p[1], p[2]};
    }
    int width;
    int height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    uint8_t* bits = nullptr;
};

DibPicture ProductPicture()
{
    DibPicture picture;
    const std::string file = velmora::testing::ReadFileBytes(VELMORA_BITMAP145);
    EXPECT_EQ(picture.LoadBitmapFile(reinterpret_cast<const uint8_t*>(file.data()), file.size()),
        DibPicture::LoadResult::Loaded);
    return picture;
}

TEST(PreviewDraw, SameSizeCopiesEveryPixel)
{
    const DibPicture picture = ProductPicture();
    ASSERT_EQ(picture.Width(), 192);
    ASSERT_EQ(picture.Height(), 144);
    Canvas canvas(192, 144);
    const RECT whole {0, 0, 192, 144};
    ASSERT_TRUE(DrawDibPicture(canvas.dc, picture, whole, whole));
    for (int y = 0; y < 144; y += 7)
        for (int x = 0; x < 192; x += 5) {
            const auto want = picture.PixelAt(x, y);
            const auto got = canvas.At(x, y);
            ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << "," << y;
        }
}

TEST(PreviewDraw, OtherSizesShowTheWholePictureScaled)
{
    const DibPicture picture = ProductPicture();
    for (const auto& [w, h] : {std::pair(152, 112), std::pair(384, 288)}) {
        Canvas canvas(w, h);
        // A colour the picture has nowhere, so an undrawn pixel shows.
        const HBRUSH marker = ::CreateSolidBrush(RGB(255, 0, 255));
        const RECT all {0, 0, w, h};
        ::FillRect(canvas.dc, &all, marker);
        ::DeleteObject(marker);
        ASSERT_TRUE(DrawDibPicture(canvas.dc, picture, all, RECT {0, 0, 192, 144}));
        long error = 0;
        int samples = 0;
        for (int y = 2; y < h - 2; y += 9)
            for (int x = 2; x < w - 2; x += 11) {
                const auto got = canvas.At(x, y);
                ASSERT_FALSE(got.r == 255 && got.g == 0 && got.b == 255) << "undrawn at " << x << "," << y;
                const auto want = picture.PixelAt(x * 192 / w, y * 144 / h);
                error += std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b);
                ++samples;
            }
        // Scaling blurs edges, but the picture is the same one.
        EXPECT_LT(error / (3 * samples), 24) << w << "x" << h;
    }
}

TEST(PreviewDraw, AnEmptyPictureDrawsNothing)
{
    Canvas canvas(8, 8);
    EXPECT_FALSE(DrawDibPicture(canvas.dc, DibPicture(), RECT {0, 0, 8, 8}, RECT {0, 0, 8, 8}));
}

} // namespace
} // namespace velmora::win32
