#pragma once
// Writes RGBA pixels (top row first) as an 8-bit RGB PNG.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Returns false with a reason when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbaTopDown,
    std::string& error);

} // namespace velmora
