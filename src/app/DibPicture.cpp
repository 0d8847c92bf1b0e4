#include "app/DibPicture.h"

#include <cstring>

namespace velmora {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

uint32_t Read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
        | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Read16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void Write32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int PaddedStride(int width, int bytesPerPixel)
{
    return (width * bytesPerPixel + 3) & ~3;
}

} // namespace

void DibPicture::Clear()
{
    pixels_.clear();
    info_.clear();
    width_ = height_ = stride_ = 0;
    kind_ = kEmpty;
}

bool DibPicture::Create(int width, int height, int kind)
{
    Clear();
    if ((kind != kRgb24 && kind != kGrey8) || width < 1 || height < 1 || width > kMaxSide
        || height > kMaxSide)
        return false;
    const int bytesPerPixel = kind == kRgb24 ? 3 : 1;
    stride_ = PaddedStride(width, bytesPerPixel);
    pixels_.assign(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height), 0);
    info_.assign(kInfoHeaderSize + (kind == kGrey8 ? 256 * 4 : 0), 0);
    Write32(&info_[0], kInfoHeaderSize);
    Write32(&info_[4], static_cast<uint32_t>(width));
    Write32(&info_[8], static_cast<uint32_t>(height)); // positive: rows bottom-up
    info_[12] = 1; // planes
    info_[14] = kind == kRgb24 ? 24 : 8;
    // Compression 0 and the remaining fields stay zero.
    if (kind == kGrey8)
        for (int i = 0; i < 256; ++i) {
            uint8_t* entry = &info_[kInfoHeaderSize + 4 * static_cast<std::size_t>(i)];
            entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
        }
    width_ = width;
    height_ = height;
    kind_ = kind;
    return true;
}

DibPicture::LoadResult DibPicture::LoadBitmapFile(const uint8_t* data, std::size_t size)
{
    Clear();
    if (!data || size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' || data[1] != 'M')
        return LoadResult::Unreadable;
    const uint8_t* info = data + kFileHeaderSize;
    const uint32_t headerSize = Read32(info);
    const uint32_t pixelOffset = Read32(data + 10);
    if (headerSize < kInfoHeaderSize || headerSize > size - kFileHeaderSize)
        return LoadResult::Unreadable;
    const int32_t width = static_cast<int32_t>(Read32(info + 4));
    const int32_t rawHeight = static_cast<int32_t>(Read32(info + 8));
    const uint16_t planes = Read16(info + 12);
    const uint16_t bits = Read16(info + 14);
    const uint32_t compression = Read32(info + 16);
    uint32_t coloursUsed = Read32(info + 32);
    if (planes != 1 || width < 1 || width > kMaxSide || rawHeight == 0 || rawHeight < -kMaxSide
        || rawHeight > kMaxSide)
        return LoadResult::Unreadable;
    if (bits != 8 && bits != 24)
        return LoadResult::UnsupportedDepth;
    if (compression != 0)
        return LoadResult::Unreadable;
    const bool topDown = rawHeight < 0;
    const int height = topDown ? -rawHeight : rawHeight;

    // The palette follows the header; an 8-bit file without a count has 256.
    const std::size_t paletteStart = kFileHeaderSize + headerSize;
    if (bits == 8 && (coloursUsed == 0 || coloursUsed > 256))
        coloursUsed = 256;
    const std::size_t paletteEntries = bits == 8 ? coloursUsed : 0;
    if (paletteStart + paletteEntries * 4 > size)
        return LoadResult::Unreadable;

    const int sourceStride = PaddedStride(width, bits / 8);
    const std::size_t pixelBytes = static_cast<std::size_t>(sourceStride) * static_cast<std::size_t>(height);
    if (pixelOffset < paletteStart + paletteEntries * 4 || pixelOffset > size
        || size - pixelOffset < pixelBytes)
        return LoadResult::Unreadable;

    Create(width, height, kRgb24);
    const uint8_t* palette = data + paletteStart;
    for (int row = 0; row < height; ++row) {
        // Kept bottom-up whatever the file's order.
        const int sourceRow = topDown ? height - 1 - row : row;
        const uint8_t* in = data + pixelOffset + static_cast<std::size_t>(sourceRow) * sourceStride;
        uint8_t* out = pixels_.data() + static_cast<std::size_t>(row) * stride_;
        if (bits == 24) {
            std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const uint8_t index = in[x];
            // An index past the palette shows black rather than reading beyond it.
            if (index < paletteEntries)
                std::memcpy(out + 3 * x, palette + 4 * static_cast<std::size_t>(index), 3);
        }
    }
    return LoadResult::Loaded;
}

DibPicture::LoadResult DibPicture::LoadBitmapResource(const uint8_t* data, std::size_t size)
{
    Clear();
    if (!data || size < kInfoHeaderSize || size > 0x7fffffff - kFileHeaderSize)
        return LoadResult::Unreadable;
    const uint32_t headerSize = Read32(data);
    const uint16_t bits = Read16(data + 14);
    uint32_t colours = Read32(data + 32);
    if (bits <= 8 && (colours == 0 || colours > (1u << bits)))
        colours = 1u << bits;
    if (bits > 8)
        colours = 0;
    if (headerSize < kInfoHeaderSize || headerSize > size)
        return LoadResult::Unreadable;
    // The file header a bitmap file would have: "BM", the size, the offset of
    // the pixels.
    std::vector<uint8_t> file(kFileHeaderSize + size);
    file[0] = 'B';
    file[1] = 'M';
    Write32(&file[2], static_cast<uint32_t>(file.size()));
    Write32(&file[10], static_cast<uint32_t>(kFileHeaderSize + headerSize + 4 * colours));
    std::memcpy(file.data() + kFileHeaderSize, data, size);
    return LoadBitmapFile(file.data(), file.size());
}

DibPicture::Bgr DibPicture::PixelAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return {};
    const std::size_t row = static_cast<std::size_t>(height_ - 1 - y) * stride_;
    if (kind_ == kGrey8) {
        const uint8_t v = pixels_[row + static_cast<std::size_t>(x)];
        return {v, v, v};
    }
    const uint8_t* p = &pixels_[row + 3 * static_cast<std::size_t>(x)];
    return {p[0], p[1], p[2]};
}

} // namespace velmora
