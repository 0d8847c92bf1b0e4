#pragma once

#include <cstddef>

namespace velmora {

struct DecodedImage;

// Upper bound of each TGA dimension; textures are at most 1,024 pixels wide.
inline constexpr int kMaxTgaDimension = 16384;

// Decodes true-colour TGA (image types 2 and 10, 24 or 32 bits) into image,
// never reading past size bytes. name is used in trace messages only.
// False on failure (traced), leaving image reset.
bool TgaDecoder(const unsigned char* bytes, std::size_t size, DecodedImage& image, const char* name);

} // namespace velmora
