#pragma once
// The planet's own pass: the textured quarter-sphere mesh, the material it
// leaves for every later lit draw, and the limb-darkening halo.

#include "scene/PassState.h"
#include "scene/SceneTextures.h"
#include "scene/SphereQuarterMesh.h"

namespace velmora {

// The planet pass, called with the spin and the flattening applied. The
// flattening scales the normals, hence GL_NORMALIZE on entry. It leaves the
// halo's multiply blend and texture, and the colour (2, 2, 2, 2) that the next
// lit draw takes up through the colour material.
inline constexpr PassContract kPlanetPass {"planet", kLitOpaque.Texturing(Cap::On).Normalize(Cap::On),
    kLitOpaque.Texturing(Cap::On)
        .Normalize(Cap::On)
        .BlendFunction(GL_DST_COLOR, GL_ZERO)
        .Colour(2.0f, 2.0f, 2.0f, 2.0f)
        .BoundTexture(TextureSlot::Flare10),
    ModelViewEffect::Kept};

class PlanetBody {
public:
    // Called with GL_NORMALIZE on and the spin and flattening applied.
    // Leaves blending off and the current colour (2, 2, 2, 2).
    void Draw(const SceneTextures& textures);

    const SphereQuarterMesh& Mesh() const { return mesh_; }

    // Whether the limb darkening rides on the body's pass (the default,
    // where the context has a second texture unit) or is a pass of its own.
    void SetMergedDarkening(bool merged) { mergeDarkening_ = merged; }

private:
    bool BeginDarkeningUnit(GLuint darkening) const;
    void EndDarkeningUnit() const;

    SphereQuarterMesh mesh_;
    bool needsBuild_ = true;
    bool secondUnit_ = false;
    bool mergeDarkening_ = true;
};

} // namespace velmora
