#include "scene/SceneTextures.h"

#include <cstdio>

namespace velmora {

namespace {

// Slot to member: one switch keeps the named fields the drawing code uses
// and the enum the loading table uses in step.
template<typename Textures> auto& SlotOf(Textures& t, TextureSlot slot)
{
    const int i = static_cast<int>(slot);
    if (i >= static_cast<int>(TextureSlot::Flare1) && i <= static_cast<int>(TextureSlot::Flare10))
        return t.flare[i - static_cast<int>(TextureSlot::Flare1)];
    if (i >= static_cast<int>(TextureSlot::Surface0) && i <= static_cast<int>(TextureSlot::Surface3))
        return t.surface[i - static_cast<int>(TextureSlot::Surface0)];
    switch (slot) {
    case TextureSlot::Rings:
        return t.rings;
    case TextureSlot::RingsMask:
        return t.ringsMask;
    case TextureSlot::SpotsBlack:
        return t.spotsBlack;
    case TextureSlot::SpotsWhite:
        return t.spotsWhite;
    case TextureSlot::ShadowOnRing:
        return t.shadowOnRing;
    case TextureSlot::RingsShadow:
        return t.ringsShadow;
    default:
        return t.titan;
    }
}

} // namespace

GLuint& SceneTextures::operator[](TextureSlot slot)
{
    return SlotOf(*this, slot);
}

GLuint SceneTextures::operator[](TextureSlot slot) const
{
    return SlotOf(*this, slot);
}

GLint CombinerUnits()
{
#if defined(_WIN32)
    if (!gl::LoadMultitexture())
        return 0;
#endif
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0;
    int minor = 0;
    if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2 || major < 1
        || (major == 1 && minor < 3)) {
        return 0;
    }
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    return units;
}

} // namespace velmora
