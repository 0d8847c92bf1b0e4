#pragma once
// The scene's texture slots: one GL texture name per archive image, with the
// member name, filters and wrap mode of each in one table.

#include "scene/GlApi.h"

#include <array>
#include <cstddef>

#include "resources/ArchiveMembers.h"
#include "scene/TextureBounds.h"

namespace velmora {

// In load order; the order is also the order of the pixel blocks kept by the
// scene.
enum class TextureSlot : int {
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
    SpotsBlack,
    SpotsWhite,
    ShadowOnRing,
    RingsShadow,
    Surface0,
    Surface1,
    Surface2,
    Surface3,
    Titan,
    Count
};

inline constexpr std::size_t kTextureSlotCount = static_cast<std::size_t>(TextureSlot::Count);

inline constexpr std::size_t kFlareSlotCount
    = static_cast<std::size_t>(TextureSlot::Flare10) - static_cast<std::size_t>(TextureSlot::Flare1) + 1;
inline constexpr std::size_t kSurfaceSlotCount
    = static_cast<std::size_t>(TextureSlot::Surface3) - static_cast<std::size_t>(TextureSlot::Surface0) + 1;

struct TextureRow {
    TextureSlot slot;
    ArchiveMemberId member;
    GLint minFilter;
    GLint magFilter;
    GLint wrap; // GL_CLAMP_TO_EDGE, or 0 to keep GL's default (repeat)
    bool mipmapped; // full chain from gluBuild2DMipmaps before level 0
};

inline constexpr GLint kKeepDefaultWrap = 0;

// clang-format off
inline constexpr std::array<TextureRow, kTextureSlotCount> kTextureTable{{
    {TextureSlot::Flare1,       ArchiveMemberId::Flare1,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare2,       ArchiveMemberId::Flare2,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare3,       ArchiveMemberId::Flare3,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare4,       ArchiveMemberId::Flare4,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare5,       ArchiveMemberId::Flare5,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare6,       ArchiveMemberId::Flare6,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare7,       ArchiveMemberId::Flare7,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare8,       ArchiveMemberId::Flare8,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare9,       ArchiveMemberId::Flare9,        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare10,      ArchiveMemberId::Flare10,       GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Rings,        ArchiveMemberId::Rings,         GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::RingsMask,    ArchiveMemberId::RingsMask,     GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::SpotsBlack,   ArchiveMemberId::SpotsBlack,    GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::SpotsWhite,   ArchiveMemberId::SpotsWhite,    GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::ShadowOnRing, ArchiveMemberId::ShadowOnRing,  GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::RingsShadow,  ArchiveMemberId::RingsShadow,   GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::Surface0,     ArchiveMemberId::Surface0,      GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Surface1,     ArchiveMemberId::Surface1,      GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Surface2,     ArchiveMemberId::Surface2,      GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Surface3,     ArchiveMemberId::Surface3,      GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Titan,        ArchiveMemberId::Titan,         GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, kKeepDefaultWrap, true},
}};
// clang-format on
static_assert(kTextureTable.size() == kTextureSlotCount);

// Rows sit at their slot's index, so kTextureTable[slot] is that slot's row.
constexpr bool TextureTableInSlotOrder()
{
    for (std::size_t i = 0; i < kTextureTable.size(); ++i)
        if (static_cast<std::size_t>(kTextureTable[i].slot) != i)
            return false;
    return true;
}
static_assert(TextureTableInSlotOrder());

// Each slot loads a picture of its own, and every picture the archive stores
// has a slot.
constexpr bool TextureTableCoversThePictures()
{
    std::size_t pictures = 0;
    for (std::size_t m = 0; m < kArchiveMemberCount; ++m)
        if (IsPictureMember(static_cast<ArchiveMemberId>(m)))
            ++pictures;
    for (std::size_t i = 0; i < kTextureTable.size(); ++i) {
        if (!IsPictureMember(kTextureTable[i].member))
            return false;
        for (std::size_t j = 0; j < i; ++j)
            if (kTextureTable[j].member == kTextureTable[i].member)
                return false;
    }
    return pictures == kTextureTable.size();
}
static_assert(TextureTableCoversThePictures());

// Sets a row's filters and wrapping on the texture bound to target.
inline void ApplyTextureRowParameters(const TextureRow& row, GLenum target = GL_TEXTURE_2D)
{
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, row.minFilter);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, row.magFilter);
    if (row.wrap != kKeepDefaultWrap) {
        glTexParameteri(target, GL_TEXTURE_WRAP_S, row.wrap);
        if (target != GL_TEXTURE_1D)
            glTexParameteri(target, GL_TEXTURE_WRAP_T, row.wrap);
    }
}

// Texture units the fixed-function combiners may use in the current context:
// none before OpenGL 1.3, whose glActiveTexture the multi-unit paths need.
GLint CombinerUnits();

// The GL names, addressed the way the drawing code thinks of them. Zero until
// loaded (texture 0 is GL's default, which draws untextured white).
struct SceneTextures {
    GLuint flare[kFlareSlotCount] = {};
    GLuint rings = 0;
    GLuint ringsMask = 0;
    GLuint spotsBlack = 0;
    GLuint spotsWhite = 0;
    GLuint shadowOnRing = 0;
    GLuint ringsShadow = 0;
    GLuint surface[kSurfaceSlotCount] = {};
    GLuint titan = 0;

    // The part of each billboard texture's square that changes anything:
    // flare7 and flare9 are added (black changes nothing), flare10
    // multiplies (white changes nothing). Whole until the pictures load.
    AddedShapes glowShapes;
    AddedShapes rimShapes;
    TextureShape darkeningShape;

    GLuint& operator[](TextureSlot slot);
    GLuint operator[](TextureSlot slot) const;
};

} // namespace velmora
