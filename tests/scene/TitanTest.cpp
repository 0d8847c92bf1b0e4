#include "scene/Titan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ElementGl.h"
#include "scene/SunFlares.h"

namespace velmora {
namespace {

using test::ElementGl;

constexpr double kDeg = std::numbers::pi / 180.0;

TEST(TitanOrbit, StartsOnThePositiveXAxisAndAdvancesAtItsRate)
{
    const Vec3 p0 = TitanOrbitPosition(0.0);
    EXPECT_DOUBLE_EQ(p0.x, 20.27);
    EXPECT_NEAR(p0.y, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(p0.z, 0.0);

    // t = 7000: 888.93 degrees, 168.93 into the third revolution.
    const Vec3 p = TitanOrbitPosition(7000.0);
    EXPECT_NEAR(std::atan2(p.y, p.x) / kDeg, 168.93, 1e-9);
    EXPECT_NEAR(std::hypot(p.x, p.y), 20.27, 1e-12);
    // One revolution per 360 / 0.12699 units.
    const Vec3 q = TitanOrbitPosition(360.0 / 0.12699);
    EXPECT_NEAR(q.x, 20.27, 1e-9);
    EXPECT_NEAR(q.y, 0.0, 1e-9);
}

TEST(TitanOrbit, ModelSpaceOfTheBodyIsScaledToItsRadius)
{
    // Titan's own centre maps to the origin of its model space; a point one
    // Titan radius above it (after the tilt) lies at distance 1.
    const double t = 512.0;
    const Vec3 c = TitanOrbitPosition(t);
    const double tilt = 0.33 * kDeg;
    const Vec3 centre {c.x, c.y * std::cos(tilt), c.y * std::sin(tilt)};
    const Vec3 local = ToTitanModelSpace(centre, t);
    EXPECT_NEAR(Length(local), 0.0, 1e-9);
    const Vec3 pole {centre.x, centre.y - 0.04 * std::sin(tilt), centre.z + 0.04 * std::cos(tilt)};
    const Vec3 localPole = ToTitanModelSpace(pole, t);
    EXPECT_NEAR(localPole.x, 0.0, 1e-6);
    EXPECT_NEAR(localPole.y, 0.0, 1e-6);
    EXPECT_NEAR(localPole.z, 1.0, 1e-6);
}

class TitanGl : public test::ElementGlSuite<240, 240> {
protected:
    // The matrix DrawTitan leaves behind for an identity camera.
    std::array<double, 16> TitanMatrix(double t)
    {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        titan_.DrawTitan(gl_->Textures(), t, kSunPosition);
        std::array<double, 16> m {};
        glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
        glLoadIdentity();
        return m;
    }

    static Vec3 Apply(const std::array<double, 16>& m, const Vec3& p)
    {
        return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
    }

    // Where Titan's centre sits in the scene for clock value t.
    static Vec3 TitanCentre(double t)
    {
        const Vec3 c = TitanOrbitPosition(t);
        const double tilt = 0.33 * kDeg;
        return {c.x, c.y * std::cos(tilt), c.y * std::sin(tilt)};
    }

    TitanBody titan_;
};

TEST_F(TitanGl, AtTimeZeroTheTransformPlacesTitanOnTheXAxis)
{
    const auto m = TitanMatrix(0.0);
    EXPECT_NEAR(m[12], 20.27, 1e-4);
    EXPECT_NEAR(m[13], 0.0, 1e-5);
    EXPECT_NEAR(m[14], 0.0, 1e-5);
    // Scale 0.04 and the 0.33 degree tilt about x; no spin at t = 0.
    EXPECT_NEAR(m[0], 0.04, 1e-7);
    EXPECT_NEAR(m[5], 0.04 * std::cos(0.33 * kDeg), 1e-7);
    EXPECT_NEAR(m[6], 0.04 * std::sin(0.33 * kDeg), 1e-7);
}

TEST_F(TitanGl, TransformFollowsOrbitTiltAndSpin)
{
    const double t = 7000.0;
    const auto m = TitanMatrix(t);
    const Vec3 c = TitanCentre(t);
    EXPECT_NEAR(m[12], c.x, 1e-4);
    EXPECT_NEAR(m[13], c.y, 1e-4);
    EXPECT_NEAR(m[14], c.z, 1e-4);
    // Titan's local x axis turned by the spin 0.02699 t about the tilted z.
    const double spin = 0.02699 * t * kDeg;
    EXPECT_NEAR(m[0], 0.04 * std::cos(spin), 1e-6);
    EXPECT_NEAR(m[1] / std::cos(0.33 * kDeg), 0.04 * std::sin(spin), 1e-6);
}

TEST_F(TitanGl, GlowLightPointIsTheSunInTitansModelSpace)
{
    for (const double t : {0.0, 1234.5, 7000.0}) {
        const auto m = TitanMatrix(t);
        const Vec3 back = Apply(m, ToTitanModelSpace(kSunPosition, t));
        EXPECT_NEAR(back.x, kSunPosition.x, 1e-2) << t;
        EXPECT_NEAR(back.y, kSunPosition.y, 1e-2) << t;
        EXPECT_NEAR(back.z, kSunPosition.z, 1e-2) << t;
    }
}

TEST_F(TitanGl, BodyIsOpaqueAndLitOnItsSunwardSide)
{
    const double t = 0.0;
    const Vec3 centre = TitanCentre(t);
    const Vec3 toSun = Normalized(kSunPosition - centre);
    // The camera between Titan and the Sun: the lit face, and the Sun behind
    // the camera so no glow is added.
    const Vec3 eye {centre.x + 0.3 * toSun.x, centre.y + 0.3 * toSun.y, centre.z + 0.3 * toSun.z};

    const auto draw = [&](float background) {
        gl_->BeginView(eye, centre, Vec3 {0.0, 0.0, 1.0}, background);
        SunFlares::DrawSun(kSunPosition);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        titan_.DrawTitan(gl_->Textures(), t, kSunPosition);
        glLoadIdentity();
        gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, 0.0, 0.0, 1.0);
        const auto w = ElementGl::Project(centre);
        return ElementGl::Pixel(w.Px(), w.Py());
    };
    const test::Rgba onBlack = draw(0.0f);
    const test::Rgba onGrey = draw(0.5f);
    EXPECT_EQ(onBlack, onGrey) << "blending must be off for the body";
    EXPECT_GT(onBlack[0] + onBlack[1] + onBlack[2], 60) << "lit and textured";
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
}

TEST_F(TitanGl, SunBehindTitanLightsItsRim)
{
    const double t = 0.0;
    const Vec3 centre = TitanCentre(t);
    const Vec3 toSun = Normalized(kSunPosition - centre);
    // Titan between the camera and the Sun.
    const Vec3 eye {centre.x - 0.5 * toSun.x, centre.y - 0.5 * toSun.y, centre.z - 0.5 * toSun.z};
    gl_->BeginView(eye, centre, Vec3 {0.0, 0.0, 1.0});
    SunFlares::DrawSun(kSunPosition);
    titan_.DrawTitan(gl_->Textures(), t, kSunPosition);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, 0.0, 0.0, 1.0);

    // Just outside the silhouette (radius 0.04), on the screen's horizontal.
    const auto c = ElementGl::Project(centre);
    const auto edge = ElementGl::Project(Vec3 {centre.x, centre.y, centre.z + 0.04});
    const double radiusPx = std::abs(edge.y - c.y);
    ASSERT_GT(radiusPx, 5.0);
    const test::Rgba rim = ElementGl::Pixel(c.Px() + static_cast<int>(radiusPx * 1.02), c.Py());
    EXPECT_GT(rim[0] + rim[1] + rim[2], 30) << "the glow brightens the sky around the rim";
    const test::Rgba farSky = ElementGl::Pixel(c.Px() + static_cast<int>(radiusPx * 1.6), c.Py());
    EXPECT_LT(farSky[0] + farSky[1] + farSky[2], rim[0] + rim[1] + rim[2]);
}

} // namespace
} // namespace velmora
