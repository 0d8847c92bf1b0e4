#include "resources/TgaDecoder.h"

#include <cstdint>
#include <cstdlib>

#include "resources/DecodedImage.h"
#include "resources/DiagTrace.h"

namespace velmora {

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr unsigned kTypeTrueColour = 2;
constexpr unsigned kTypeRunLengthTrueColour = 10;
constexpr unsigned kDescriptorTopFirst = 0x20;
constexpr std::size_t kMaxPacketPixels = 128;

unsigned ReadU16(const unsigned char* p)
{
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

// Writes pixels in file order, converting B G R (A) to R G B (A) and placing
// each file row at its final output row, so the image is written once.
class PixelWriter {
public:
    PixelWriter(unsigned char* base, int32_t width, int32_t height, unsigned bytesPerPixel, bool topFirst)
        : base_(base)
        , rowBytes_(static_cast<std::size_t>(width) * bytesPerPixel)
        , height_(height)
        , bytesPerPixel_(bytesPerPixel)
        , topFirst_(topFirst)
    {
        StartRow();
    }

    bool Full() const { return fileRow_ == height_; }

    // Precondition: !Full().
    void Put(const unsigned char* filePixel)
    {
        dst_[0] = filePixel[2];
        dst_[1] = filePixel[1];
        dst_[2] = filePixel[0];
        if (bytesPerPixel_ == 4)
            dst_[3] = filePixel[3];
        dst_ += bytesPerPixel_;
        if (dst_ == rowEnd_) {
            ++fileRow_;
            if (!Full())
                StartRow();
        }
    }

private:
    void StartRow()
    {
        const int32_t outRow = topFirst_ ? fileRow_ : height_ - 1 - fileRow_;
        dst_ = base_ + static_cast<std::size_t>(outRow) * rowBytes_;
        rowEnd_ = dst_ + rowBytes_;
    }

    unsigned char* base_;
    std::size_t rowBytes_;
    int32_t height_;
    unsigned bytesPerPixel_;
    bool topFirst_;
    int32_t fileRow_ = 0;
    unsigned char* dst_ = nullptr;
    unsigned char* rowEnd_ = nullptr;
};

// Type 10: packets may run across row ends; decoding stops at the last pixel
// even inside a packet. Returns false when the data ends first.
bool DecodeRunLength(
    const unsigned char* p, const unsigned char* end, unsigned bytesPerPixel, PixelWriter& out)
{
    while (!out.Full()) {
        if (p == end)
            return false;
        const unsigned header = *p++;
        std::size_t count = (header & 0x7Fu) + 1;
        if (header & 0x80u) {
            if (static_cast<std::size_t>(end - p) < bytesPerPixel)
                return false;
            for (; count > 0 && !out.Full(); --count)
                out.Put(p);
            p += bytesPerPixel;
        } else {
            for (; count > 0 && !out.Full(); --count) {
                if (static_cast<std::size_t>(end - p) < bytesPerPixel)
                    return false;
                out.Put(p);
                p += bytesPerPixel;
            }
        }
    }
    return true;
}

} // namespace

bool TgaDecoder(const unsigned char* bytes, std::size_t size, DecodedImage& image, const char* name)
{
    image.Reset();
    if (name == nullptr)
        name = "";
    if (bytes == nullptr || size < kHeaderSize) {
        DiagTrace("Truncated tga image \"%s\"", name);
        return false;
    }
    const unsigned colourMapType = bytes[1];
    const unsigned imageType = bytes[2];
    const unsigned depth = bytes[16];
    const unsigned descriptor = bytes[17];
    if (imageType != kTypeTrueColour && imageType != kTypeRunLengthTrueColour) {
        DiagTrace("Unsupported tga image \"%s\" type (type=%d)", name, static_cast<int>(imageType));
        return false;
    }
    if (colourMapType != 0 || (depth != 24 && depth != 32)) {
        DiagTrace("Unsupported tga image \"%s\" pixel size (size=%d)", name, static_cast<int>(depth));
        return false;
    }
    const auto width = static_cast<int32_t>(ReadU16(bytes + 12));
    const auto height = static_cast<int32_t>(ReadU16(bytes + 14));
    if (width == 0 || height == 0 || width > kMaxTgaDimension || height > kMaxTgaDimension) {
        DiagTrace("Unsupported tga image \"%s\" dimensions (%dx%d)", name, width, height);
        return false;
    }

    // Both factors are at most 2^14, so these products fit easily.
    const unsigned bytesPerPixel = depth / 8;
    const std::size_t pixelCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t outputBytes = pixelCount * bytesPerPixel;
    const std::size_t available = size - kHeaderSize;
    // Refuse data that cannot cover the image before reserving memory for it:
    // raw pixels need their full size, a run-length packet covers at most 128.
    const std::size_t minimumInput = imageType == kTypeTrueColour
        ? outputBytes
        : (pixelCount + kMaxPacketPixels - 1) / kMaxPacketPixels * (1 + bytesPerPixel);
    if (available < minimumInput) {
        DiagTrace("Truncated tga image \"%s\"", name);
        return false;
    }

    HeapBlock pixels(static_cast<unsigned char*>(std::malloc(outputBytes)));
    if (!pixels) {
        DiagTrace("Can't allocate memory (size=%d)", static_cast<int>(outputBytes));
        return false;
    }
    PixelWriter writer(pixels.get(), width, height, bytesPerPixel, (descriptor & kDescriptorTopFirst) != 0);
    const unsigned char* data = bytes + kHeaderSize;
    if (imageType == kTypeTrueColour) {
        for (std::size_t i = 0; i < pixelCount; ++i)
            writer.Put(data + i * bytesPerPixel);
    } else if (!DecodeRunLength(data, data + available, bytesPerPixel, writer)) {
        DiagTrace("Truncated tga image \"%s\"", name);
        return false;
    }

    image.width = width;
    image.height = height;
    image.bitsPerPixel = static_cast<uint8_t>(depth);
    image.pixels = std::move(pixels);
    return true;
}

} // namespace velmora
