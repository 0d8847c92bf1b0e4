#pragma once
// Screen-facing squares over spherical bodies: the facing billboard and the
// two-layer limb glow built on it. Both work in the caller's current model
// space and read the current GL matrices.

#include "camera/Vec3.h"
#include "scene/PassState.h"
#include "scene/SceneTextures.h"
#include "scene/TextureBounds.h"

namespace velmora {

// A square centred on center, turned to face the eye and kept upright on the
// screen, then turned by extraRotation degrees. Its half-size is sizeFactor
// silhouette radii of a unit sphere at center. Uses the caller's texture and
// blend function; restores the model-view matrix and the current colour.
// Only the shape's part of the square is drawn: where the texture is
// neutral for the blend, leaving the rest out changes no pixel.
void DrawFacingBillboard(const Vec3& center, double sizeFactor, double alpha, double extraRotation,
    const TextureShape& shape = TextureShape {});

// Texture generation on the active unit that maps every fragment to the
// texel the same facing billboard would draw over it: eye-linear s, t and q
// through the square's plane. Enables generation of s, t and q; false, with
// nothing changed, where the billboard would not be drawn.
bool ProjectFacingBillboard(const Vec3& center, double sizeFactor, double extraRotation);

// A glow over the rim of a body of the given radius when lightPoint is seen
// near or behind it. Sets its own blend function and binds flare7 and flare9.
void DrawLimbGlow(const Vec3& center, double radius, const Vec3& lightPoint, const SceneTextures& textures);

// The planet's limb glow as the frame draws it (no flattening, no spin). The
// squares push and pop everything they change but the blend function and the
// texture, which the glow sets before each; a light the glow cannot see
// leaves both untouched.
inline constexpr PassContract kLimbGlowPass {"limb glow", kLitOpaque, kLitOpaque, ModelViewEffect::Kept};

// Half-size of a facing billboard for a unit sphere whose centre lies at
// squared distance d2 from the eye.
double BillboardHalfSize(double sizeFactor, double distanceSquared);

struct GlowAlphas {
    double outer; // the wide glow, capped at 0.5
    double rim; // the tight rim, uncapped (GL clamps the colour)
};
// q: the light's angular distance from the body's centre in body radii.
GlowAlphas LimbGlowAlphas(double q);

} // namespace velmora
