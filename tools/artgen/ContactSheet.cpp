// velmora-contact-sheet: every picture of the archive on one PNG, to look at
// the art by eye.
//
//   velmora-contact-sheet <archive.zip> <sheet.png>
//
// Layout: the archive's pictures in archive order, left to right and top to
// bottom, six to a row. Each cell is a 256 x 256 box (outlined in grey) with
// the picture scaled to fit, keeping its proportions; strips that would come
// out thinner than 48 pixels are stretched to 48 so their profile shows.
// Under the box: the member name and the picture's size.

#include "JpegCodec.h"
#include "ZipPack.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using velmora::art::Image;

constexpr int kColumns = 6;
constexpr int kBox = 256;
constexpr int kMinStrip = 48;
constexpr int kPad = 8;
constexpr int kGlyphScale = 2;
constexpr int kLineHeight = 8 * kGlyphScale;
constexpr int kLabelHeight = 2 * kLineHeight + 4;
constexpr int kCellWidth = kBox + kPad;
constexpr int kCellHeight = kBox + kLabelHeight + kPad;
constexpr std::array<uint8_t, 3> kBackground {38, 38, 42};
constexpr std::array<uint8_t, 3> kFrame {96, 96, 104};
constexpr std::array<uint8_t, 3> kText {225, 225, 230};

// 5 x 7 glyphs, one byte per row, bit 4 the leftmost column.
struct Glyph {
    char c;
    std::array<uint8_t, 7> rows;
};
constexpr std::array<Glyph, 40> kFont {{
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
}};

const Glyph* FindGlyph(char c)
{
    const char key = c == 'x' ? 'x' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& g : kFont) {
        if (g.c == key) {
            return &g;
        }
    }
    return nullptr;
}

struct Canvas {
    int width;
    int height;
    std::vector<uint8_t> rgb;

    Canvas(int w, int h)
        : width(w)
        , height(h)
        , rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3)
    {
        for (size_t i = 0; i < rgb.size(); i += 3) {
            std::copy(kBackground.begin(), kBackground.end(), rgb.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }

    void Set(int x, int y, const uint8_t* c)
    {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return;
        }
        std::copy(c, c + 3, rgb.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 3);
    }
};

void DrawText(Canvas& canvas, int x, int y, const std::string& text)
{
    for (char c : text) {
        if (const Glyph* g = FindGlyph(c)) {
            for (int row = 0; row < 7; ++row) {
                for (int col = 0; col < 5; ++col) {
                    if ((g->rows[static_cast<size_t>(row)] >> (4 - col)) & 1) {
                        for (int k = 0; k < kGlyphScale * kGlyphScale; ++k) {
                            canvas.Set(x + col * kGlyphScale + k % kGlyphScale,
                                y + row * kGlyphScale + k / kGlyphScale, kText.data());
                        }
                    }
                }
            }
        }
        x += 6 * kGlyphScale;
    }
}

// Area-averaging resample of `image` into a w x h rectangle at (x0, y0).
void DrawScaled(Canvas& canvas, const Image& image, int x0, int y0, int w, int h)
{
    for (int dy = 0; dy < h; ++dy) {
        const int sy0 = dy * image.height / h;
        const int sy1 = std::max(sy0 + 1, (dy + 1) * image.height / h);
        for (int dx = 0; dx < w; ++dx) {
            const int sx0 = dx * image.width / w;
            const int sx1 = std::max(sx0 + 1, (dx + 1) * image.width / w);
            std::array<unsigned, 3> sum {};
            for (int sy = sy0; sy < sy1; ++sy) {
                for (int sx = sx0; sx < sx1; ++sx) {
                    const size_t at = (static_cast<size_t>(sy) * static_cast<size_t>(image.width) + sx) * 3;
                    for (size_t k = 0; k < 3; ++k) {
                        sum[k] += image.rgb[at + k];
                    }
                }
            }
            const auto n = static_cast<unsigned>((sy1 - sy0) * (sx1 - sx0));
            const std::array<uint8_t, 3> c {static_cast<uint8_t>(sum[0] / n),
                static_cast<uint8_t>(sum[1] / n), static_cast<uint8_t>(sum[2] / n)};
            canvas.Set(x0 + dx, y0 + dy, c.data());
        }
    }
}

void DrawFrame(Canvas& canvas, int x0, int y0, int w, int h)
{
    for (int x = x0 - 1; x <= x0 + w; ++x) {
        canvas.Set(x, y0 - 1, kFrame.data());
        canvas.Set(x, y0 + h, kFrame.data());
    }
    for (int y = y0 - 1; y <= y0 + h; ++y) {
        canvas.Set(x0 - 1, y, kFrame.data());
        canvas.Set(x0 + w, y, kFrame.data());
    }
}

void WritePng(const std::string& path, const Canvas& canvas)
{
    png_image png {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(canvas.width);
    png.height = static_cast<png_uint_32>(canvas.height);
    png.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&png, path.c_str(), 0, canvas.rgb.data(), canvas.width * 3, nullptr) == 0) {
        const std::string why = png.message;
        png_image_free(&png);
        throw std::runtime_error("cannot write \"" + path + "\": " + why);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora-contact-sheet <archive.zip> <sheet.png>\n");
        return 2;
    }
    try {
        const auto members
            = velmora::art::UnpackZip(velmora::art::ReadWholeFile(argv[1], velmora::art::kMaxZipTotalBytes));
        if (!members) {
            throw std::runtime_error(std::string("\"") + argv[1] + "\" is not a readable archive");
        }
        std::vector<std::pair<std::string, Image>> pictures;
        for (const auto& m : *members) {
            if (m.name.size() > 4 && m.name.ends_with(".jpg")) {
                auto image = velmora::art::DecodeJpeg(m.data.data(), m.data.size());
                if (!image) {
                    throw std::runtime_error("member \"" + m.name + "\" is not a readable JPEG");
                }
                pictures.emplace_back(m.name, std::move(*image));
            }
        }
        const int count = static_cast<int>(pictures.size());
        const int rows = std::max(1, (count + kColumns - 1) / kColumns);
        Canvas canvas(kColumns * kCellWidth + kPad, rows * kCellHeight + kPad);
        for (int i = 0; i < count; ++i) {
            const auto& [name, image] = pictures[static_cast<size_t>(i)];
            const int x0 = kPad + (i % kColumns) * kCellWidth;
            const int y0 = kPad + (i / kColumns) * kCellHeight;
            const double scale
                = std::min(static_cast<double>(kBox) / image.width, static_cast<double>(kBox) / image.height);
            const int w = std::max(1, static_cast<int>(image.width * scale));
            const int h = std::min(kBox, std::max(kMinStrip, static_cast<int>(image.height * scale)));
            const int bx = x0 + (kBox - w) / 2;
            const int by = y0 + (kBox - h) / 2;
            DrawFrame(canvas, bx, by, w, h);
            DrawScaled(canvas, image, bx, by, w, h);
            DrawText(canvas, x0, y0 + kBox + 4, name);
            DrawText(canvas, x0, y0 + kBox + 4 + kLineHeight,
                std::to_string(image.width) + "x" + std::to_string(image.height));
        }
        WritePng(argv[2], canvas);
        std::printf(
            "velmora-contact-sheet: %d pictures on a %dx%d sheet\n", count, canvas.width, canvas.height);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-contact-sheet: %s\n", e.what());
        return 1;
    }
    return 0;
}
