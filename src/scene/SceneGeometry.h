#pragma once
// Where the scene's bodies sit and how their spheres are meshed. The art
// generator paints the shadows and the mapped textures against these very
// numbers, so the scene, the generator and the tests all include this header:
// a second copy that drifted would slide a painted shadow off the drawn
// geometry without any error. No GL here; the generator has no context.

#include "camera/Vec3.h"

namespace velmora {

// The Sun's centre, which is also where the single light sits, and the radius
// of the white sphere drawn there (the generator softens shadow edges by it).
inline constexpr Vec3 kSunPosition {400.0, 400.0, 100.0};
inline constexpr double kSunRadius = 2.0;

// The planet has radius 1 and is squashed along its polar axis z. The frame
// hands the scale to glScalef as a float and cancels it before the rings with
// the float written out below, which is the float quotient 1 / 0.9f.
inline constexpr double kPlanetRadius = 1.0;
inline constexpr double kPlanetPolarScale = 0.9;
inline constexpr float kPlanetPolarScaleF = static_cast<float>(kPlanetPolarScale);
inline constexpr float kPlanetPolarUnscaleF = 1.1111112f;
static_assert(kPlanetPolarUnscaleF == 1.0f / kPlanetPolarScaleF);

// The annulus in the planet's equatorial plane.
inline constexpr double kRingInnerRadius = 1.23449;
inline constexpr double kRingOuterRadius = 2.32551;
static_assert(kPlanetRadius < kRingInnerRadius && kRingInnerRadius < kRingOuterRadius);

// Every sphere (planet, Titan, the ring-shadow dome) is a quarter mesh of this
// many longitude columns by latitude rows.
inline constexpr int kSphereMeshColumns = 31;
inline constexpr int kSphereMeshRows = 21;

// The quarter mesh's texture coordinates: s = lon / pi * kMeshLongitudeScale +
// 0.5 over lon -pi/2..pi/2 and t = lat / pi * kMeshLatitudeScale +
// kMeshLatitudeOffset over lat 0..pi/2, i.e. both inset by 0.1 % of the
// texture at each end.
inline constexpr double kMeshLongitudeScale = 0.998;
inline constexpr double kMeshLatitudeScale = 1.996;
inline constexpr double kMeshLatitudeOffset = 0.001;
static_assert(kMeshLatitudeScale == 2.0 * kMeshLongitudeScale);
static_assert(kMeshLatitudeOffset > 0.0 && kMeshLatitudeScale / 2.0 + 2.0 * kMeshLatitudeOffset == 1.0);

} // namespace velmora
