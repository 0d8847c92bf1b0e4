#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/HeapBlock.h"

namespace velmora {

class ResourceArchive;

// A decoded picture: rows from the top of the picture down, pixels left to
// right, R G B (A) one byte each, no padding between rows.
struct DecodedImage {
    int32_t width = 0;
    int32_t height = 0;
    uint8_t bitsPerPixel = 0; // 24 or 32
    HeapBlock pixels; // none until a decode succeeds

    // Extracts the member and decodes it by its extension (".tga" or ".jpg",
    // letter case included). False on failure (traced); then pixels stays
    // none.
    bool Load(ResourceArchive& archive, const char* memberName);

    std::size_t ByteCount() const
    {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * (bitsPerPixel / 8u);
    }
    void Reset()
    {
        width = height = 0;
        bitsPerPixel = 0;
        pixels.reset();
    }
};

} // namespace velmora
