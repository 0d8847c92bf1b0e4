#include "camera/Camera.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>

#include "camera/CameraOrbit.h"
#include "SquareGlTest.h"

namespace velmora {
namespace {

class CameraGl : public test::SquareGlTest<16> {
protected:
    static void ReadModelView(GLdouble out[16]) { glGetDoublev(GL_MODELVIEW_MATRIX, out); }

    static void GluMatrix(const Vec3& e, const Vec3& t, const Vec3& u, GLdouble out[16])
    {
        glLoadIdentity();
        gluLookAt(e.x, e.y, e.z, t.x, t.y, t.z, u.x, u.y, u.z);
        ReadModelView(out);
    }
};

TEST_F(CameraGl, DefaultLookAtEqualsTheGluCallAndReturnsOne)
{
    Camera camera;
    GLdouble expected[16];
    GluMatrix({1, 1, 1}, {0, 0, 0}, {0, 1, 0}, expected);
    glLoadIdentity();
    EXPECT_EQ(camera.LookAt(), 1);
    GLdouble actual[16];
    ReadModelView(actual);
    for (int i = 0; i < 16; ++i)
        EXPECT_DOUBLE_EQ(actual[i], expected[i]) << "element " << i;
    // The eye (1, 1, 1) maps to the origin of eye space.
    EXPECT_NEAR(actual[0] + actual[4] + actual[8] + actual[12], 0.0, 1e-6);
    EXPECT_NEAR(actual[2] + actual[6] + actual[10] + actual[14], 0.0, 1e-6);
}

TEST_F(CameraGl, UpNeedNotBeUnitNorPerpendicular)
{
    Camera raw;
    raw.eye = {1.603141, 2.338171, 4.264943};
    raw.target = {0.0, 0.7, 0.0};
    raw.up = {-0.21, -0.43, 0.0};
    Camera unit = raw;
    unit.up = Normalized(raw.up);

    GLdouble a[16];
    GLdouble b[16];
    glLoadIdentity();
    raw.LookAt();
    ReadModelView(a);
    glLoadIdentity();
    unit.LookAt();
    ReadModelView(b);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], 1e-6) << "element " << i; // GL keeps floats
}

TEST_F(CameraGl, LookAtMultipliesTheCurrentMatrix)
{
    Camera camera;
    UpdateCameraOrbit(camera, 7000.0);
    glLoadIdentity();
    glTranslated(0.0, 0.0, -5.0);
    camera.LookAt();
    GLdouble combined[16];
    ReadModelView(combined);
    // The eye lands on (0, 0, -5) of the translated frame.
    const Vec3& e = camera.eye;
    const double x = combined[0] * e.x + combined[4] * e.y + combined[8] * e.z + combined[12];
    const double z = combined[2] * e.x + combined[6] * e.y + combined[10] * e.z + combined[14];
    EXPECT_NEAR(x, 0.0, 1e-5);
    EXPECT_NEAR(z, -5.0, 1e-5);
}

} // namespace
} // namespace velmora
