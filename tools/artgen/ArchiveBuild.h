#pragma once
// Assembles the program's archive: every picture encoded as JPEG, the star
// catalogue as given, and the two small-body meshes.

#include "Art.h"
#include "ZipPack.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmora::art {

enum class ArchiveMember {
    Flare1,
    Flare2,
    Flare3,
    Flare4,
    Flare5,
    Flare6,
    Flare7,
    Flare8,
    Flare9,
    Flare10,
    Rings,
    RingsMask,
    RingsShadow,
    SpotsBlack,
    SpotsWhite,
    ShadowOnRing,
    Surface0,
    Surface1,
    Surface2,
    Surface3,
    Titan,
    Stars,
    Phobos,
    Deimos,
    Count
};

// Stored names, in archive order. The program looks them up without regard
// to letter case.
inline constexpr std::array<std::string_view, static_cast<size_t>(ArchiveMember::Count)> kArchiveMemberNames {
    "Flare1.jpg",
    "Flare2.jpg",
    "Flare3.jpg",
    "Flare4.jpg",
    "Flare5.jpg",
    "Flare6.jpg",
    "Flare7.jpg",
    "Flare8.jpg",
    "Flare9.jpg",
    "Flare10.jpg",
    "rings.jpg",
    "rings_mask.jpg",
    "rings_shadow.jpg",
    "spots_black.jpg",
    "spots_white.jpg",
    "shadow_on_ring.jpg",
    "surface0.jpg",
    "surface1.jpg",
    "surface2.jpg",
    "surface3.jpg",
    "titan.jpg",
    "stars.dat",
    "phobos2.dat",
    "deimos.dat",
};
static_assert(kArchiveMemberNames.size() == static_cast<size_t>(ArchiveMember::Count));

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
