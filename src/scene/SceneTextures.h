#pragma once
// The scene's texture slots: one GL texture name per archive image, with the
// member name, filters and wrap mode of each in one table.

#include <GL/gl.h>

#include <array>
#include <cstddef>

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

struct TextureSpec {
    TextureSlot slot;
    const char* member; // archive member name (matched without letter case)
    GLint minFilter;
    GLint magFilter;
    GLint wrap; // GL_CLAMP_TO_EDGE, or 0 to keep GL's default (repeat)
    bool mipmapped; // full chain from gluBuild2DMipmaps before level 0
};

inline constexpr GLint kKeepDefaultWrap = 0;

// clang-format off
inline constexpr std::array<TextureSpec, kTextureSlotCount> kTextureTable{{
    {TextureSlot::Flare1,       "flare1.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare2,       "flare2.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare3,       "flare3.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare4,       "flare4.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare5,       "flare5.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare6,       "flare6.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare7,       "flare7.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare8,       "flare8.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare9,       "flare9.jpg",         GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Flare10,      "flare10.jpg",        GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Rings,        "rings.jpg",          GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::RingsMask,    "rings_mask.jpg",     GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::SpotsBlack,   "spots_black.jpg",    GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::SpotsWhite,   "spots_white.jpg",    GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::ShadowOnRing, "shadow_on_ring.jpg", GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::RingsShadow,  "rings_shadow.jpg",   GL_LINEAR,               GL_LINEAR, kKeepDefaultWrap, false},
    {TextureSlot::Surface0,     "surface0.jpg",       GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Surface1,     "surface1.jpg",       GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Surface2,     "surface2.jpg",       GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Surface3,     "surface3.jpg",       GL_LINEAR,               GL_LINEAR, GL_CLAMP_TO_EDGE, false},
    {TextureSlot::Titan,        "titan.jpg",          GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, kKeepDefaultWrap, true},
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

// The GL names, addressed the way the drawing code thinks of them. Zero until
// loaded (texture 0 is GL's default, which draws untextured white).
struct SceneTextures {
    GLuint flare[10] = {};
    GLuint rings = 0;
    GLuint ringsMask = 0;
    GLuint spotsBlack = 0;
    GLuint spotsWhite = 0;
    GLuint shadowOnRing = 0;
    GLuint ringsShadow = 0;
    GLuint surface[4] = {};
    GLuint titan = 0;

    GLuint& operator[](TextureSlot slot);
    GLuint operator[](TextureSlot slot) const;
};

} // namespace velmora
