#pragma once
// The planet's own pass: the textured quarter-sphere mesh, the material it
// leaves for every later lit draw, and the limb-darkening halo.

#include "scene/SceneTextures.h"
#include "scene/SphereQuarterMesh.h"

namespace velmora {

class PlanetBody {
public:
    // Called with GL_NORMALIZE on and the spin and flattening applied.
    // Leaves blending off and the current colour (2, 2, 2, 2).
    void Draw(const SceneTextures& textures);

    const SphereQuarterMesh& Mesh() const { return mesh_; }

private:
    SphereQuarterMesh mesh_;
    bool needsBuild_ = true;
};

} // namespace velmora
