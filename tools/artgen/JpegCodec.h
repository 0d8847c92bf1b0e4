#pragma once
// The painted pictures through the shared JPEG codec: encoding for the
// archive, decoding for the checks and the contact sheet.

#include "Art.h"
#include "codec/JpegEncoder.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::art {

using codec::ChromaSampling;

// Throws std::runtime_error when the picture is malformed (sizes and pixel
// count disagree) or libjpeg fails.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality, ChromaSampling sampling);

// Pictures larger than this on either side are refused when decoding.
inline constexpr int kMaxDecodedSide = codec::kMaxDecodedJpegSide;

// RGB rows top to bottom; nothing when the bytes are not a JPEG libjpeg can
// read or the picture is larger than kMaxDecodedSide. The name is left empty.
std::optional<Image> DecodeJpeg(const uint8_t* data, size_t size);

} // namespace velmora::art
