#pragma once
// The members of the program's archive, in the order the art generator
// stores them. The generator writes this list, the scene looks its members up
// from it and the tests check the shipped archive against it; nothing else
// spells a member's name.

#include <array>
#include <cstddef>
#include <string_view>

namespace velmora {

enum class ArchiveMemberId : int {
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
    // The two small-body meshes. No element of the frame draws either; they
    // stay because the member list is fixed: archives already shipped carry
    // both and the collection's other programs look them up by these names.
    // The scene still loads Phobos and ends the run without it, as it always
    // has; Deimos is stored and never read.
    Phobos,
    Deimos,
    Count
};

inline constexpr std::size_t kArchiveMemberCount = static_cast<std::size_t>(ArchiveMemberId::Count);

// Stored names. The program looks them up without regard to letter case, so
// "Flare1.jpg" is found as "flare1.jpg" too.
inline constexpr std::array<std::string_view, kArchiveMemberCount> kArchiveMemberNames {
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
static_assert(kArchiveMemberNames.size() == kArchiveMemberCount);

// Every name is a literal, so its view is NUL-terminated.
constexpr const char* ArchiveMemberName(ArchiveMemberId member)
{
    return kArchiveMemberNames[static_cast<std::size_t>(member)].data();
}

constexpr bool IsPictureMember(ArchiveMemberId member)
{
    return kArchiveMemberNames[static_cast<std::size_t>(member)].ends_with(".jpg");
}

// The ten flare sprites and the four surface quarters are numbered runs.
constexpr ArchiveMemberId FlareMember(int index0)
{
    return static_cast<ArchiveMemberId>(static_cast<int>(ArchiveMemberId::Flare1) + index0);
}
constexpr ArchiveMemberId SurfaceMember(int index0)
{
    return static_cast<ArchiveMemberId>(static_cast<int>(ArchiveMemberId::Surface0) + index0);
}
static_assert(FlareMember(9) == ArchiveMemberId::Flare10 && SurfaceMember(3) == ArchiveMemberId::Surface3);

} // namespace velmora
