#include "scene/Planet.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>

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

} // namespace
} // namespace velmora
