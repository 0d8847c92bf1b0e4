#pragma once
// Whether downloaded bytes are the picture a product's file is to hold: the
// screenshot a JPEG that decodes, the icon a BMP whose headers, palette and
// pixels are all there. An error page, an empty answer or a picture of the
// other kind is no picture to keep. The bytes come from the network: every
// size is checked before it is used.

#include <cstddef>
#include <cstdint>

namespace velmora::webupdate {

// Larger pictures are refused; a product's icon is 32 x 32, its screenshot
// a few hundred pixels wide.
inline constexpr int32_t kMaxPictureSide = 4096;

bool IsJpegPicture(const uint8_t* data, std::size_t size);
// BMP files with the 12-byte core header or an information header of 40 to
// 124 bytes; 1, 4, 8, 16, 24 or 32 bits per pixel, uncompressed, with bit
// fields, or run-length coded (8 and 4 bits), as image readers take them.
bool IsBitmapPicture(const uint8_t* data, std::size_t size);

} // namespace velmora::webupdate
