#include "scene/Planet.h"

#include "scene/GlApi.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ElementGl.h"

namespace velmora {
namespace {

class PlanetGl : public test::SquareGlTest<96> {
protected:
    void SetUp() override
    {
        SquareGlTest::SetUp();
        if (HasFatalFailure())
            return;
        gluLookAt(0, -4, 0, 0, 0, 0, 0, 0, 1);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_CULL_FACE);
        glEnable(GL_NORMALIZE);
    }
};

TEST_F(PlanetGl, BuildsItsMeshOnceAndLeavesTheMaterialForLaterDraws)
{
    PlanetBody planet;
    EXPECT_TRUE(planet.Mesh().Empty());
    const SceneTextures textures {};
    planet.Draw(textures);
    ASSERT_FALSE(planet.Mesh().Empty());
    EXPECT_EQ(planet.Mesh().Columns(), 31);
    EXPECT_EQ(planet.Mesh().Rows(), 21);
    const MeshVertex* data = planet.Mesh().Data();
    planet.Draw(textures);
    EXPECT_EQ(planet.Mesh().Data(), data);

    GLfloat specular[4];
    GLfloat shininess = 0.0f;
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_FLOAT_EQ(specular[0], 0.6f);
    EXPECT_FLOAT_EQ(specular[1], 0.5f);
    EXPECT_FLOAT_EQ(specular[2], 0.4f);
    EXPECT_FLOAT_EQ(shininess, 80.0f);
    // The state the pass hands on is its declared contract, checked in real
    // frames by the pass state suite.
}

TEST_F(PlanetGl, CoversTheUnitDiscAndWritesItsDepth)
{
    PlanetBody planet;
    const SceneTextures textures {};
    planet.Draw(textures);
    const auto px = context_->ReadPixelsTopDown();
    auto lit = [&](int x, int y) {
        const std::size_t i = (static_cast<std::size_t>(y) * kSize + x) * 4;
        return px[i] + px[i + 1] + px[i + 2] > 0;
    };
    // Unlit and untextured here, the body is white inside its silhouette
    // (radius about 1 / sqrt(15) of the half-view at distance 4).
    EXPECT_TRUE(lit(kSize / 2, kSize / 2));
    EXPECT_TRUE(lit(kSize / 2 + 20, kSize / 2));
    EXPECT_TRUE(lit(kSize / 2, kSize / 2 - 20));
    EXPECT_FALSE(lit(2, 2));
    EXPECT_FALSE(lit(kSize - 3, kSize / 2));

    GLfloat depth = 1.0f;
    glReadPixels(kSize / 2, kSize / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_LT(depth, 1.0f);
}

// The limb darkening laid on through the body's second unit gives the
// pixels of its own multiplied pass, and hands unit 1 back switched off.
TEST_F(PlanetGl, DarkeningOnTheBodyPassMatchesItsOwnPass)
{
    // Radial like the shipped mask: white at the centre and beyond the limb
    // (the square is 1.055 silhouette radii), darker and redder towards it.
    constexpr int kTex = 64;
    std::vector<uint8_t> rgb(static_cast<std::size_t>(kTex) * kTex * 3);
    for (int y = 0; y < kTex; ++y) {
        for (int x = 0; x < kTex; ++x) {
            const double r = std::hypot(x + 0.5 - kTex / 2.0, y + 0.5 - kTex / 2.0) / (kTex / 2.0) * 1.055;
            const double level = r < 1.02 ? 0.3 + 0.7 * std::sqrt(std::max(0.0, 1.0 - r * r)) : 1.0;
            uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kTex + x) * 3];
            p[0] = static_cast<uint8_t>(255 * std::pow(level, 0.8));
            p[1] = static_cast<uint8_t>(255 * level);
            p[2] = static_cast<uint8_t>(255 * std::pow(level, 1.3) * (x < kTex / 2 ? 1.0 : 0.8));
        }
    }
    SceneTextures textures {};
    GLuint& name = textures[TextureSlot::Flare10];
    name = test::UploadClampedRgb(rgb, kTex, kTex);
    glEnable(GL_TEXTURE_2D);
    // Spun and flattened like the planet in the frame.
    glRotated(30.0, 0.0, 0.0, 1.0);
    glScaled(1.0, 1.0, 0.9);

    PlanetBody planet;
    std::vector<uint8_t> frames[2];
    for (int merged = 0; merged < 2; ++merged) {
        planet.SetMergedDarkening(merged != 0);
        glDisable(GL_BLEND);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        planet.Draw(textures);
        frames[merged] = context_->ReadPixelsTopDown();
    }
    EXPECT_LE(test::CompareColour(frames[0], frames[1]).worst, 2);
    std::size_t darkened = 0;
    for (std::size_t i = 1; i < frames[0].size(); i += 4)
        darkened += frames[0][i] > 0 && frames[0][i] < 200 ? 1 : 0;
    EXPECT_GT(darkened, 200u); // the edge of the disc was darkened

    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
    glActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_Q));
    glActiveTexture(GL_TEXTURE0);
    glDeleteTextures(1, &name);
}

} // namespace
} // namespace velmora
