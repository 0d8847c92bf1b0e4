#include "WindowsArt.h"

#include <stdexcept>

namespace velmora::art {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

// The 40-byte header every DIB starts with. Icon images state no resolution.
void PutInfoHeader(
    std::vector<uint8_t>& out, int width, int height, int bits, uint32_t imageBytes, uint32_t pixelsPerMetre)
{
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1); // planes
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, 0); // no compression
    Put32(out, imageBytes);
    Put32(out, pixelsPerMetre);
    Put32(out, pixelsPerMetre);
    Put32(out, 0);
    Put32(out, 0);
}

// An icon image as a DIB: the header states twice the height (colour plus
// AND mask), BGRA rows bottom-up, then the 1-bit mask rows padded to 32 bits.
std::vector<uint8_t> IconDib(const RgbaImage& image)
{
    const int side = image.width;
    const uint32_t maskStride = static_cast<uint32_t>(((side + 31) / 32) * 4);
    const uint32_t colourBytes = static_cast<uint32_t>(side) * side * 4;
    std::vector<uint8_t> dib;
    PutInfoHeader(dib, side, side * 2, 32, colourBytes + maskStride * side, 0);
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x) {
            const uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * side + x) * 4];
            dib.insert(dib.end(), {p[2], p[1], p[0], p[3]});
        }
    // Set mask bits make a pixel transparent where the alpha channel is not
    // used (old list views, 16-colour displays).
    for (int y = side - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < side; ++x)
            if (image.rgba[(static_cast<std::size_t>(y) * side + x) * 4 + 3] == 0)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        dib.insert(dib.end(), row.begin(), row.end());
    }
    return dib;
}

} // namespace

std::vector<uint8_t> EncodeIco(const std::vector<IcoEntry>& entries)
{
    if (entries.empty() || entries.size() > 0xffff)
        throw std::invalid_argument("an icon needs 1 to 65535 images");
    std::vector<std::vector<uint8_t>> images;
    for (const IcoEntry& e : entries) {
        const RgbaImage& image = e.image;
        if (image.width != image.height || image.width < 1 || image.width > 256
            || image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4)
            throw std::invalid_argument("icon images must be square RGBA of 1 to 256 pixels");
        images.push_back(e.png.empty() ? IconDib(image) : e.png);
    }
    std::vector<uint8_t> out;
    Put16(out, 0); // reserved
    Put16(out, 1); // type: icon
    Put16(out, static_cast<uint32_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int side = entries[i].image.width;
        out.push_back(static_cast<uint8_t>(side == 256 ? 0 : side)); // 0 stands for 256
        out.push_back(static_cast<uint8_t>(side == 256 ? 0 : side));
        out.push_back(0); // no palette
        out.push_back(0);
        Put16(out, 1); // planes
        Put16(out, 32); // bits per pixel
        Put32(out, static_cast<uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

std::vector<uint8_t> EncodeBmp24(const Image& image)
{
    if (image.width < 1 || image.height < 1
        || image.rgb.size() != static_cast<std::size_t>(image.width) * image.height * 3)
        throw std::invalid_argument("a bitmap needs RGB pixels of its size");
    const uint32_t stride = static_cast<uint32_t>((image.width * 3 + 3) & ~3);
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(image.height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 14 + 40 + pixelBytes);
    Put32(out, 0);
    Put32(out, 14 + 40);
    PutInfoHeader(out, image.width, image.height, 24, pixelBytes, 2835); // 72 dpi
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = &image.rgb[static_cast<std::size_t>(y) * image.width * 3];
        for (int x = 0; x < image.width; ++x)
            out.insert(out.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        out.resize(out.size() + (stride - static_cast<uint32_t>(image.width) * 3), 0);
    }
    return out;
}

} // namespace velmora::art
