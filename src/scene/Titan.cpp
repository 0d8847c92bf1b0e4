#include "scene/Titan.h"

#include "scene/GlApi.h"

#include <cmath>
#include <numbers>

#include "scene/Billboard.h"
#include "scene/SceneGeometry.h"

namespace velmora {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

// Rotation of p by angle degrees about the x or z axis.
Vec3 RotateX(const Vec3& p, double degrees)
{
    const double c = std::cos(degrees * kDegToRad);
    const double s = std::sin(degrees * kDegToRad);
    return {p.x, c * p.y - s * p.z, s * p.y + c * p.z};
}

Vec3 RotateZ(const Vec3& p, double degrees)
{
    const double c = std::cos(degrees * kDegToRad);
    const double s = std::sin(degrees * kDegToRad);
    return {c * p.x - s * p.y, s * p.x + c * p.y, p.z};
}

} // namespace

Vec3 TitanOrbitPosition(double animationTime)
{
    const double a = kTitanOrbitRate * animationTime * kDegToRad;
    return {kTitanOrbitRadius * std::cos(a), kTitanOrbitRadius * std::sin(a), 0.0};
}

Vec3 ToTitanModelSpace(const Vec3& point, double animationTime)
{
    // The drawing applies tilt, translation, spin and scale in that order;
    // undo them from the outside in.
    const Vec3 untilted = RotateX(point, -kTitanOrbitTilt);
    const Vec3 local = untilted - TitanOrbitPosition(animationTime);
    const Vec3 unspun = RotateZ(local, -kTitanSpinRate * animationTime);
    // The GL scale is the single-precision 0.04.
    const double scale = static_cast<float>(kTitanRadius);
    return {unspun.x / scale, unspun.y / scale, unspun.z / scale};
}

void TitanBody::DrawTitan(const SceneTextures& textures, double animationTime, const Vec3& sunPosition)
{
    const double t = animationTime;

    // 1.-3. Orbit: tilt, place on the circle, spin.
    glRotated(kTitanOrbitTilt, 1.0, 0.0, 0.0);
    const Vec3 centre = TitanOrbitPosition(t);
    glTranslated(centre.x, centre.y, centre.z);
    glRotated(kTitanSpinRate * t, 0.0, 0.0, 1.0);

    // 4. Opaque, culled and lit; GL_NORMALIZE because the scale below would
    //    otherwise shrink the normals and darken the lighting.
    glBindTexture(GL_TEXTURE_2D, textures.titan);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    glEnable(GL_TEXTURE_2D);
    glScalef(
        static_cast<float>(kTitanRadius), static_cast<float>(kTitanRadius), static_cast<float>(kTitanRadius));

    // 5. Body and glow.
    glPushMatrix();
    // White through the colour material. Set here, after the push, as the
    // frames were always drawn: set before it, llvmpipe's pixels differ.
    glColor3d(1.0, 1.0, 1.0);
    if (meshNeedsBuilding_) {
        // Unit sphere: the scale above makes it Titan's size.
        mesh_.Build(1.0, kSphereMeshColumns, kSphereMeshRows);
        meshNeedsBuilding_ = false;
    }
    mesh_.DrawMapped(false);
    // The glow measures directions to its light point in the body's own model
    // space, so the Sun is handed over expressed in that space.
    DrawLimbGlow(Vec3 {0.0, 0.0, 0.0}, 1.0, ToTitanModelSpace(sunPosition, t), textures);
    glPopMatrix();

    // 6.
    glDisable(GL_NORMALIZE);
}

} // namespace velmora
