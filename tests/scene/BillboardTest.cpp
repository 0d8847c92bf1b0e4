#include "scene/Billboard.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ElementGl.h"

namespace velmora {
namespace {

TEST(BillboardHalfSize, MatchesTheSilhouetteOfAUnitSphere)
{
    // d = 2: sizeFactor x 2 / sqrt(3).
    EXPECT_NEAR(BillboardHalfSize(1.0, 4.0), 1.1547005, 1e-7);
    EXPECT_NEAR(BillboardHalfSize(1.055, 4.0), 1.055 * 1.1547005, 1e-7);
    // Far away the silhouette radius tends to the sphere's radius.
    EXPECT_NEAR(BillboardHalfSize(1.0, 1e8), 1.0, 1e-7);
    EXPECT_FALSE(std::isfinite(BillboardHalfSize(1.0, 1.0)));
}

TEST(LimbGlowAlphas, CappedOuterAndUncappedRim)
{
    const GlowAlphas behind = LimbGlowAlphas(0.0);
    EXPECT_EQ(behind.outer, 0.5);
    EXPECT_NEAR(behind.rim, 0.12, 1e-15);

    const GlowAlphas limb = LimbGlowAlphas(1.0);
    EXPECT_NEAR(limb.outer, 0.15, 1e-15);
    EXPECT_GT(limb.rim, 1.0); // drawn fully opaque

    const GlowAlphas far = LimbGlowAlphas(10.0);
    EXPECT_NEAR(far.outer, 0.015, 1e-15);
    EXPECT_NEAR(far.rim, 0.2 / 9.0, 1e-15);
    EXPECT_NEAR(far.rim, 0.022, 5e-4);

    // Just inside and just outside the limb use the two rim factors.
    EXPECT_NEAR(LimbGlowAlphas(0.5).rim, 0.24, 1e-12);
    EXPECT_NEAR(LimbGlowAlphas(1.5).rim, 0.4, 1e-12);
}

class BillboardGl : public test::SquareGlTest<200> {
protected:
    void SetUp() override
    {
        SquareGlTest::SetUp();
        if (HasFatalFailure())
            return;
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_LIGHTING);
        glBlendFunc(GL_ONE, GL_ZERO); // plain replace: coverage is what we measure
    }

    // Lit columns of the middle row and lit rows of the middle column.
    void Extent(int& width, int& height) const
    {
        const auto px = context_->ReadPixelsTopDown();
        width = height = 0;
        for (int x = 0; x < kSize; ++x)
            width += px[(static_cast<std::size_t>(kSize / 2) * kSize + x) * 4] > 128;
        for (int y = 0; y < kSize; ++y)
            height += px[(static_cast<std::size_t>(y) * kSize + kSize / 2) * 4] > 128;
    }

    // Pixels per unit at distance d in the plane facing the eye.
    static double PixelsPerUnit(double d) { return kSize / 2.0 / (d * std::tan(22.5 * M_PI / 180.0)); }
};

// The square's width and height through its centre, for views of our
// choosing: it faces the eye, stays upright under camera roll and turns by the
// extra rotation.
struct ExtentRow {
    const char* what;
    Vec3 eye;
    Vec3 centre;
    Vec3 up;
    double rotation;
    double expected; // pixels, both ways
    double tolerance;
};

double UprightSide(double distance)
{
    return 2.0 * 0.5 / std::sqrt(1.0 - 1.0 / (distance * distance));
}

TEST_F(BillboardGl, SilhouetteSizeFacingTheEye)
{
    const double oblique = std::sqrt(9.0 + 4.0 + 16.0);
    const Vec3 c {0.3, -0.2, 0.1};
    const ExtentRow rows[] = {
        // Half-size 1.1547 x 0.5 units at distance 2.
        {"distance two", {0, 0, 2}, {0, 0, 0}, {0, 1, 0}, 0.0, 2.0 * 1.1547005 * 0.5 * PixelsPerUnit(2.0),
            2.0},
        // Rolled camera on an oblique line to an off-origin centre: the sides
        // follow the screen axes, so the middle row and column are a side long.
        {"rolled camera", c + Vec3 {3, 2, 4}, c, {-0.21, -0.43, 0.0}, 0.0,
            UprightSide(oblique) * PixelsPerUnit(oblique), 2.0},
        // Turned by 45 degrees, the middle row crosses the diagonal.
        {"extra rotation", {0, 0, 4}, {0, 0, 0}, {0, 1, 0}, 45.0,
            UprightSide(4.0) * PixelsPerUnit(4.0) * std::sqrt(2.0), 3.0},
    };
    for (const ExtentRow& row : rows) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        gluLookAt(row.eye.x, row.eye.y, row.eye.z, row.centre.x, row.centre.y, row.centre.z, row.up.x,
            row.up.y, row.up.z);
        DrawFacingBillboard(row.centre, 0.5, 1.0, row.rotation);
        int w = 0;
        int h = 0;
        Extent(w, h);
        EXPECT_NEAR(w, row.expected, row.tolerance) << row.what;
        EXPECT_NEAR(h, row.expected, row.tolerance) << row.what;
    }
}

TEST_F(BillboardGl, RestoresMatrixColourAndSwitches)
{
    const Vec3 c {0.3, -0.2, 0.1};
    gluLookAt(c.x + 3, c.y + 2, c.z + 4, c.x, c.y, c.z, -0.21, -0.43, 0.0);
    GLdouble before[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);

    DrawFacingBillboard(c, 0.5, 1.0, 0.0);

    GLdouble after[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(after[i], before[i]);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.25f);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(BillboardGl, LimbGlowDrawsNothingForALightBehindTheCamera)
{
    gluLookAt(0, 0, 4, 0, 0, 0, 0, 1, 0);
    const SceneTextures textures {};
    DrawLimbGlow(Vec3 {0, 0, 0}, 1.0, Vec3 {0, 0, 50}, textures);
    int w = 0;
    int h = 0;
    Extent(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST_F(BillboardGl, LimbGlowBehindTheBodyAddsTheCappedOuterLayer)
{
    gluLookAt(0, 0, 4, 0, 0, 0, 0, 1, 0);
    const SceneTextures textures {}; // texture 0: untextured white
    // Light straight behind the centre: q = 0, outer alpha 0.5, rim 0.12.
    DrawLimbGlow(Vec3 {0, 0, 0}, 1.0, Vec3 {0, 0, -100}, textures);
    const auto px = context_->ReadPixelsTopDown();
    const std::size_t centre = (static_cast<std::size_t>(kSize / 2) * kSize + kSize / 2) * 4;
    // Additive: 0.5 + 0.12 of white over black.
    EXPECT_NEAR(px[centre], 0.62 * 255, 3.0);
    GLint src = 0;
    GLint dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE);
}

} // namespace
} // namespace velmora
