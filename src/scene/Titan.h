#pragma once
// Titan: a small textured sphere on a slightly inclined circular orbit around
// the planet, lit by the Sun and given a limb glow.

#include "camera/Vec3.h"
#include "scene/PassState.h"
#include "scene/SceneTextures.h"
#include "scene/SphereQuarterMesh.h"

namespace velmora {

inline constexpr double kTitanOrbitRadius = 20.27;
inline constexpr double kTitanOrbitTilt = 0.33; // degrees about x
inline constexpr double kTitanOrbitRate = 0.12699; // degrees per clock unit
inline constexpr double kTitanSpinRate = 0.02699; // degrees per clock unit
inline constexpr double kTitanRadius = 0.04;

// Titan's centre in the planet's frame before the orbit's tilt.
Vec3 TitanOrbitPosition(double animationTime);

// A point given in the planet's frame (e.g. the Sun) seen in Titan's own model
// space, the one its unit sphere and its glow are drawn in: the inverse of
// Titan's model transform applied to the point.
Vec3 ToTitanModelSpace(const Vec3& point, double animationTime);

// Titan's pass: opaque, culled, lit and textured; its orbit transform stays
// on the model-view matrix for the frame's pop.
inline constexpr PassContract kTitanPass {"Titan", kLitOpaque,
    kLitOpaque.Texturing(Cap::On).CullFace(Cap::On).Normalize(Cap::Off).Colour(1.0f, 1.0f, 1.0f, 1.0f),
    ModelViewEffect::Changed};

class TitanBody {
public:
    // Called after the ring pass with the model-view matrix equal to the
    // camera's; leaves Titan's transform on it (the frame pops it). Leaves
    // blending off and back-face culling on.
    void DrawTitan(const SceneTextures& textures, double animationTime, const Vec3& sunPosition);

private:
    SphereQuarterMesh mesh_;
    bool meshNeedsBuilding_ = true;
};

} // namespace velmora
