#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

struct DecodedImage;

// Upper bounds of a JPEG accepted for decoding; textures are at most
// 1,024 x 1,024 and screenshots smaller still.
inline constexpr int32_t kMaxJpegDimension = 16384;
inline constexpr int64_t kMaxJpegPixels = int64_t {8192} * 8192;
// Every 8 x 8 block of a Huffman-coded picture takes at least one bit, so
// one byte of data holds at most this many pixels of it; data too short for
// the declared size is refused.
inline constexpr int64_t kMaxJpegPixelsPerByte = 64 * 8;

// Decodes a JPEG held in memory with libjpeg. The input is fed in slices of
// 65,536 bytes; the memory source state lives in the decoder object, so
// separate decoders may run at the same time.
class JpegMemoryDecoder {
public:
    static constexpr std::size_t kSourceChunkSize = 65536;

    // On success image holds width x height x 3 bytes of RGB, top row first,
    // and bitsPerPixel 24; greyscale and CMYK input are converted to RGB. A
    // fatal decoding error returns false with everything released and image reset.
    bool Decode(const void* bytes, std::size_t size, DecodedImage& image);

    // The position the memory source reached in the last Decode (bytes handed
    // to the library); 0 before the first one.
    std::size_t BytesConsumed() const { return consumed_; }

private:
    std::size_t consumed_ = 0;
};

} // namespace velmora
