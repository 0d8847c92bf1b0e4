#pragma once
// Assembles the program's archive: every picture encoded as JPEG, the star
// catalogue as given, and the two small-body meshes.

#include "Art.h"
#include "resources/ArchiveMembers.h"
#include "ZipPack.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velmora::art {

inline constexpr int kJpegQuality = 92;
// Pictures up to this many pixels keep full-resolution colour (the sprites
// and thin profiles); larger ones halve it.
inline constexpr long kFullChromaMaxPixels = 256L * 256L;
inline constexpr size_t kMaxStarCatalogueBytes = 16u << 20;

// Checks the painted pictures against the member list (every picture member
// exactly once, power-of-two sides, consistent sizes), encodes them and adds
// the catalogue and the meshes. Throws std::runtime_error with the reason.
std::vector<ZipMember> AssembleMembers(std::vector<Image> pictures, const std::vector<uint8_t>& stars);

// Paints everything and packs the archive.
std::vector<uint8_t> BuildArchive(const std::vector<uint8_t>& stars);

} // namespace velmora::art
