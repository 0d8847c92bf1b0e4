#pragma once
// The art in the file formats a Windows resource script takes: the program's
// icon as an .ico file (icon group 128) and pictures as uncompressed .bmp
// files (bitmaps 138 and 145).

#include "IconArt.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velmora::art {

// The sizes Windows asks an icon for: lists and title bars at 100 % to 200 %
// scaling, Explorer's large views at 256.
inline constexpr std::array<int, 7> kWindowsIconSides {16, 24, 32, 48, 64, 128, 256};

struct IcoEntry {
    RgbaImage image; // square, 1 to 256 pixels a side
    // Stored compressed when given (Windows reads PNG entries since Vista;
    // the 256-pixel image would take 256 KiB as a bitmap).
    std::vector<uint8_t> png;
};

// An .ico file: 32-bit bitmaps with their AND masks, PNG where given.
// Throws std::invalid_argument for an empty list or an entry of a wrong size.
std::vector<uint8_t> EncodeIco(const std::vector<IcoEntry>& entries);

// A 24-bit bottom-up .bmp file of an RGB image (rows from the top).
std::vector<uint8_t> EncodeBmp24(const Image& image);

} // namespace velmora::art
