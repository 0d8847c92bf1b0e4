#include "webupdate/PictureCheck.h"

#include "resources/DecodedImage.h"
#include "resources/JpegMemoryDecoder.h"

namespace velmora::webupdate {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

uint16_t Read16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16
        | static_cast<uint32_t>(p[3]) << 24;
}

bool IsKnownInfoHeaderSize(uint32_t size)
{
    // BITMAPINFOHEADER, its two extensions with colour masks, V4 and V5.
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Walks a run-length coded pixel block: it must end with its end-of-picture
// mark inside the data, and no line, run or jump may leave the picture.
bool IsWholeRunLengthBlock(const uint8_t* p, std::size_t size, int64_t width, int64_t height, bool fourBits)
{
    int64_t x = 0;
    int64_t y = 0;
    std::size_t i = 0;
    while (i + 2 <= size) {
        const uint8_t count = p[i];
        const uint8_t value = p[i + 1];
        i += 2;
        if (count > 0) {
            x += count;
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of picture
            return true;
        } else if (value == 2) { // jump
            if (i + 2 > size)
                return false;
            x += p[i];
            y += p[i + 1];
            i += 2;
        } else { // `value` pixels as they are, padded to two bytes
            const std::size_t bytes = fourBits ? (value + 1u) / 2u : value;
            i += (bytes + 1u) & ~std::size_t {1};
            if (i > size)
                return false;
            x += value;
        }
        if (x > width || y > height)
            return false;
    }
    return false;
}

} // namespace

bool IsJpegPicture(const uint8_t* data, std::size_t size)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    // The decoder paints what a cut-off file lacks grey; a whole file ends
    // with its end-of-image mark (some servers pad it with blanks or NULs).
    std::size_t end = size;
    while (end > 2
        && (data[end - 1] == 0 || data[end - 1] == ' ' || data[end - 1] == '\n' || data[end - 1] == '\r'))
        --end;
    if (data[end - 2] != 0xFF || data[end - 1] != 0xD9)
        return false;
    DecodedImage image;
    JpegMemoryDecoder decoder;
    return decoder.Decode(data, size, image) && image.width <= kMaxPictureSide
        && image.height <= kMaxPictureSide;
}

bool IsBitmapPicture(const uint8_t* data, std::size_t size)
{
    if (!data || size < kFileHeaderSize + kCoreHeaderSize || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t pixelOffset = Read32(data + 10);
    const uint8_t* info = data + kFileHeaderSize;
    const uint32_t headerSize = Read32(info);
    if (headerSize > size - kFileHeaderSize)
        return false;

    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t bits = 0;
    uint32_t compression = kRgb;
    std::size_t paletteEntrySize = 4;
    uint32_t coloursUsed = 0;
    std::size_t masksSize = 0;
    if (headerSize == kCoreHeaderSize) {
        width = Read16(info + 4);
        height = Read16(info + 6);
        planes = Read16(info + 8);
        bits = Read16(info + 10);
        paletteEntrySize = 3;
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
            return false;
    } else if (IsKnownInfoHeaderSize(headerSize)) {
        width = static_cast<int32_t>(Read32(info + 4));
        height = static_cast<int32_t>(Read32(info + 8));
        planes = Read16(info + 12);
        bits = Read16(info + 14);
        compression = Read32(info + 16);
        coloursUsed = Read32(info + 32);
        switch (compression) {
        case kRgb:
            if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
                return false;
            break;
        case kRle8:
        case kRle4:
            // Coded pictures are stored bottom-up only.
            if (bits != (compression == kRle8 ? 8u : 4u) || height < 0)
                return false;
            break;
        case kBitFields:
            if (bits != 16 && bits != 32)
                return false;
            // The plain information header has the three masks after it.
            if (headerSize == 40)
                masksSize = 12;
            break;
        default:
            return false;
        }
    } else {
        return false;
    }
    if (height < 0)
        height = -height; // rows top-down
    if (planes != 1 || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide)
        return false;

    std::size_t paletteEntries = 0;
    if (bits <= 8) {
        const uint32_t most = 1u << bits;
        if (coloursUsed > most)
            return false;
        paletteEntries = coloursUsed != 0 ? coloursUsed : most;
    }
    const uint64_t pixelsStart
        = kFileHeaderSize + uint64_t {headerSize} + masksSize + uint64_t {paletteEntries} * paletteEntrySize;
    if (pixelsStart > size || pixelOffset < pixelsStart || pixelOffset >= size)
        return false;

    const uint8_t* pixels = data + pixelOffset;
    const std::size_t available = size - pixelOffset;
    if (compression == kRle8 || compression == kRle4)
        return IsWholeRunLengthBlock(pixels, available, width, height, compression == kRle4);
    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    return stride * static_cast<uint64_t>(height) <= available;
}

} // namespace velmora::webupdate
