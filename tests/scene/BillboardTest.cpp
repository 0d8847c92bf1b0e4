#include "scene/Billboard.h"

#include "scene/GlApi.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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

// A ring-shaped texture drawn through its ring shape gives the pixels of the
// whole square, for both blends the billboards use.
struct ShapeRow {
    const char* what;
    uint8_t neutral;
    GLenum src;
    GLenum dst;
    double rotation;
};

TEST_F(BillboardGl, RingShapeDrawsTheSamePixelsAsTheWholeSquare)
{
    constexpr int kTex = 64;
    const ShapeRow rows[] = {
        {"added glow", 0, GL_SRC_ALPHA, GL_ONE, 0.0},
        {"added glow, turned", 0, GL_SRC_ALPHA, GL_ONE, 30.0},
        {"multiplied darkening", 255, GL_DST_COLOR, GL_ZERO, 10.0},
    };
    for (const ShapeRow& row : rows) {
        std::vector<uint8_t> rgb(static_cast<std::size_t>(kTex) * kTex * 3, row.neutral);
        for (int y = 0; y < kTex; ++y) {
            for (int x = 0; x < kTex; ++x) {
                const double r = std::hypot(x + 0.5 - 32.0, y + 0.5 - 32.0);
                if (r >= 14.0 && r < 24.0) {
                    uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kTex + x) * 3];
                    p[0] = static_cast<uint8_t>(60 + 7 * x % 150);
                    p[1] = static_cast<uint8_t>(40 + 5 * y % 150);
                    p[2] = 90;
                }
            }
        }
        const GLuint name = test::UploadClampedRgb(rgb, kTex, kTex);
        glEnable(GL_TEXTURE_2D);
        glBlendFunc(row.src, row.dst);
        const TextureShape ring = RingShape(rgb.data(), kTex, kTex, row.neutral);
        ASSERT_FALSE(ring.whole) << row.what;
        std::vector<uint8_t> frames[2];
        for (int k = 0; k < 2; ++k) {
            glClearColor(0.4f, 0.5f, 0.6f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            gluLookAt(0.2, -0.1, 3.0, 0, 0, 0, 0, 1, 0);
            DrawFacingBillboard(Vec3 {0, 0, 0}, 1.05, 0.8, row.rotation, k == 0 ? TextureShape {} : ring);
            frames[k] = context_->ReadPixelsTopDown();
        }
        glDisable(GL_TEXTURE_2D);
        glDeleteTextures(1, &name);
        // Colour only: the multiplied square also scales the alpha channel,
        // which nothing reads.
        int worst = 0;
        std::size_t changed = 0;
        std::size_t drawn = 0;
        for (std::size_t i = 0; i < frames[0].size(); ++i) {
            if (i % 4 == 3)
                continue;
            const int d = std::abs(frames[0][i] - frames[1][i]);
            worst = std::max(worst, d);
            changed += d > 0 ? 1 : 0;
            drawn += frames[0][i] != frames[0][i % 4] ? 1 : 0;
        }
        EXPECT_LE(worst, 1) << row.what;
        EXPECT_LT(changed, frames[0].size() / 1000) << row.what;
        // The ring did draw over a good part of the frame.
        EXPECT_GT(drawn, frames[0].size() / 20) << row.what;
    }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

// An added glow drawn through the shape its alpha selects changes the same
// pixels as the whole square: the faint texels left out round to nothing.
// At the lowest alphas nothing is drawn, and nothing would have changed.
TEST_F(BillboardGl, AddedShapesDrawWhatTheWholeSquareDraws)
{
    // A glow falling off smoothly through every level to black at the edge.
    constexpr int kTex = 64;
    std::vector<uint8_t> rgb(static_cast<std::size_t>(kTex) * kTex * 3);
    for (int y = 0; y < kTex; ++y) {
        for (int x = 0; x < kTex; ++x) {
            const double r = std::hypot(x + 0.5 - 32.0, y + 0.5 - 32.0) / 32.0;
            const double level = 255.0 * std::exp(-6.0 * r) * std::max(0.0, 1.0 - r);
            uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kTex + x) * 3];
            p[0] = static_cast<uint8_t>(level);
            p[1] = static_cast<uint8_t>(level * 0.8);
            p[2] = static_cast<uint8_t>(level * 0.6);
        }
    }
    const GLuint name = test::UploadClampedRgb(rgb, kTex, kTex);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    const AddedShapes added = MakeAddedShapes(rgb.data(), kTex, kTex);

    const double alphas[] = {0.9, 0.3, 0.1, 0.03, 0.01, 0.004, 0.0019, 0.0005};
    std::size_t previous = 0;
    for (const double alpha : alphas) {
        const TextureShape* shape = added.ForAlpha(alpha);
        const std::size_t k = shape ? static_cast<std::size_t>(shape - added.shapes.data()) : 99;
        EXPECT_GE(k, previous) << alpha << ": a lower alpha never draws more";
        previous = k;
        std::vector<uint8_t> frames[2];
        for (int cut = 0; cut < 2; ++cut) {
            glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            gluLookAt(0.1, -0.2, 3.0, 0, 0, 0, 0, 1, 0);
            if (cut == 0)
                DrawFacingBillboard(Vec3 {0, 0, 0}, 1.05, alpha, 20.0);
            else if (shape)
                DrawFacingBillboard(Vec3 {0, 0, 0}, 1.05, alpha, 20.0, *shape);
            frames[cut] = context_->ReadPixelsTopDown();
        }
        // Different triangles may round a pixel's interpolation the other
        // way; nothing more.
        const test::ColourDifference diff = test::CompareColour(frames[0], frames[1]);
        EXPECT_LE(diff.worst, 1) << alpha;
        EXPECT_LT(diff.changed, 20u) << alpha;
    }
    EXPECT_EQ(added.ForAlpha(0.9), &added.shapes[0]);
    EXPECT_EQ(added.ForAlpha(0.0005), nullptr);
    EXPECT_EQ(added.ForAlpha(0.0), nullptr);
    EXPECT_EQ(added.ForAlpha(0.004), &added.shapes.back());
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &name);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

// The billboard's texture projected onto a surface through a second unit
// reads, at every pixel, what the square drawn over that pixel multiplies in:
// for tilted surfaces nearer the eye (so the division by q matters), a
// flattened model space, camera roll and an extra turn.
struct ProjectionRow {
    const char* what;
    Vec3 eye;
    Vec3 up;
    double flatten; // model-space z scale, as the planet's
    double rotation;
    double tilt; // degrees the white surface leans towards the eye
};

TEST_F(BillboardGl, ProjectedTextureMatchesTheMultipliedSquare)
{
    // A white border (clamp-to-edge reads white beyond the square) around an
    // asymmetric pattern, so a shifted, mirrored or transposed mapping shows.
    constexpr int kTex = 32;
    std::vector<uint8_t> rgb(static_cast<std::size_t>(kTex) * kTex * 3, 255);
    for (int y = 2; y < kTex - 2; ++y) {
        for (int x = 2; x < kTex - 2; ++x) {
            uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kTex + x) * 3];
            p[0] = static_cast<uint8_t>(40 + 6 * x);
            p[1] = static_cast<uint8_t>(30 + 7 * y);
            p[2] = static_cast<uint8_t>((x / 4 + y / 8) % 2 ? 200 : 90);
        }
    }
    const GLuint name = test::UploadClampedRgb(rgb, kTex, kTex);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDepthFunc(GL_LEQUAL);

    const ProjectionRow rows[] = {
        {"straight on", {0, 0, 3}, {0, 1, 0}, 1.0, 0.0, 0.0},
        {"oblique, tilted surface", {1.2, -0.7, 2.6}, {0, 1, 0}, 1.0, 0.0, 35.0},
        {"flattened, rolled, turned", {0.4, 1.9, 2.2}, {-0.3, 0.2, 1.0}, 0.9, 25.0, -20.0},
    };
    for (const ProjectionRow& row : rows) {
        // The white surface: a large square through the centre, leaning
        // towards the eye so its depth varies across the view.
        const auto drawSurface = [&row] {
            glPushMatrix();
            glRotated(row.tilt, 1.0, 0.3, 0.0);
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            glBegin(GL_QUADS);
            glVertex3d(-20, -20, 0.4);
            glVertex3d(20, -20, 0.4);
            glVertex3d(20, 20, 0.4);
            glVertex3d(-20, 20, 0.4);
            glEnd();
            glPopMatrix();
        };
        std::vector<uint8_t> frames[2];
        for (int projected = 0; projected < 2; ++projected) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            gluLookAt(row.eye.x, row.eye.y, row.eye.z, 0, 0, 0, row.up.x, row.up.y, row.up.z);
            glScaled(1.0, 1.0, row.flatten);
            if (projected) {
                glDisable(GL_TEXTURE_2D);
                glActiveTexture(GL_TEXTURE1);
                ASSERT_TRUE(ProjectFacingBillboard(Vec3 {0, 0, 0}, 1.055, row.rotation)) << row.what;
                glEnable(GL_TEXTURE_2D);
                glBindTexture(GL_TEXTURE_2D, name);
                glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
                glActiveTexture(GL_TEXTURE0);
                drawSurface();
                glActiveTexture(GL_TEXTURE1);
                glDisable(GL_TEXTURE_2D);
                glDisable(GL_TEXTURE_GEN_S);
                glDisable(GL_TEXTURE_GEN_T);
                glDisable(GL_TEXTURE_GEN_Q);
                glActiveTexture(GL_TEXTURE0);
            } else {
                glDisable(GL_TEXTURE_2D);
                drawSurface();
                glEnable(GL_TEXTURE_2D);
                glBlendFunc(GL_DST_COLOR, GL_ZERO);
                DrawFacingBillboard(Vec3 {0, 0, 0}, 1.055, 1.0, row.rotation);
                glDisable(GL_TEXTURE_2D);
            }
            frames[projected] = context_->ReadPixelsTopDown();
        }
        EXPECT_LE(test::CompareColour(frames[0], frames[1]).worst, 2) << row.what;
        std::size_t patterned = 0;
        for (std::size_t i = 0; i < frames[0].size(); ++i)
            patterned += i % 4 != 3 && frames[0][i] < 250 ? 1 : 0;
        // The pattern covered a good part of the view.
        EXPECT_GT(patterned, frames[0].size() / 20) << row.what;
    }
    glDeleteTextures(1, &name);
}

// No billboard, no texture generation: with the eye inside the unit sphere
// the projection refuses and leaves generation off.
TEST_F(BillboardGl, ProjectionRefusesAnEyeInsideTheSphere)
{
    gluLookAt(0, 0, 0.5, 0, 0, 0, 0, 1, 0);
    EXPECT_FALSE(ProjectFacingBillboard(Vec3 {0, 0, 0}, 1.055, 0.0));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_Q));
}

} // namespace
} // namespace velmora
