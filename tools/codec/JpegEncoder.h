#pragma once
// The one JPEG encoder (libjpeg), used for the program's art and by the test
// suites, and the decoder the art checks and the contact sheet read with.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::codec {

enum class ChromaSampling {
    Full, // 4:4:4: thin lines and sprite edges keep their colour
    Halved, // 4:2:0, libjpeg's own choice: large soft pictures
};

struct JpegSettings {
    int quality = 95; // with baseline-compatible tables
    ChromaSampling sampling = ChromaSampling::Halved; // colour pictures only
    bool progressive = false;
};

// Pixels rows top first, `components` bytes each: 3 RGB, 1 greyscale or 4
// CMYK (written with an Adobe marker). Empty when the arguments are unusable
// or libjpeg fails.
std::vector<uint8_t> EncodeJpeg(
    const uint8_t* pixels, int width, int height, int components, const JpegSettings& settings = {});

// Pictures larger than this on either side are refused when decoding.
inline constexpr int kMaxDecodedJpegSide = 8192;

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // rows top first
};

// Any JPEG libjpeg reads, converted to RGB; nothing when the bytes are not
// one or the picture is larger than kMaxDecodedJpegSide.
std::optional<RgbPicture> DecodeJpeg(const uint8_t* data, std::size_t size);

} // namespace velmora::codec
