#include "scene/Billboard.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora {

namespace {

constexpr double kRadToDeg = 180.0 / std::numbers::pi;

// Everything the square changes except the texture binding and the blend
// function, which are the caller's.
constexpr GLbitfield kBillboardAttribs = GL_CURRENT_BIT | GL_POINT_BIT | GL_LINE_BIT | GL_POLYGON_STIPPLE_BIT
    | GL_PIXEL_MODE_BIT | GL_LIGHTING_BIT | GL_FOG_BIT | GL_DEPTH_BUFFER_BIT | GL_ACCUM_BUFFER_BIT
    | GL_VIEWPORT_BIT | GL_ENABLE_BIT;

struct Matrices {
    GLdouble modelView[16];
    GLdouble projection[16];
    GLint viewport[4];

    Matrices()
    {
        glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
    }

    Vec3 Project(const Vec3& p) const
    {
        Vec3 w;
        gluProject(p.x, p.y, p.z, modelView, projection, viewport, &w.x, &w.y, &w.z);
        return w;
    }

    Vec3 UnProject(double wx, double wy, double wz) const
    {
        Vec3 p;
        gluUnProject(wx, wy, wz, modelView, projection, viewport, &p.x, &p.y, &p.z);
        return p;
    }

    // Window depth -1000 lies between the eye and the near plane, so close to
    // the eye that the difference is negligible: the eye in model space.
    Vec3 Eye() const { return UnProject(0.0, 0.0, -1000.0); }
};

// atan(y / x), turned by -pi when x < 0: the direction of (x, y) as an angle.
// (0, 0) has no direction; it gives 0 instead of a NaN that would turn the
// billboard's matrix into garbage.
double DirectionAngle(double x, double y)
{
    if (x == 0.0 && y == 0.0)
        return 0.0;
    double a = std::atan(y / x);
    if (x < 0.0)
        a -= std::numbers::pi;
    return a;
}

} // namespace

double BillboardHalfSize(double sizeFactor, double distanceSquared)
{
    return sizeFactor / std::sqrt(1.0 - 1.0 / distanceSquared);
}

GlowAlphas LimbGlowAlphas(double q)
{
    GlowAlphas a {};
    a.outer = 0.15 / std::fabs(q);
    if (0.5 < a.outer)
        a.outer = 0.5;
    a.rim = (q > 1.0 ? 0.2 : 0.12) / std::fabs(q - 1.0);
    return a;
}

namespace {

// Steps 1-7 of the facing billboard: pushes the model-view matrix and moves
// it onto the square's own frame, whose half-size it gives. False, with
// nothing pushed, when the eye is inside the unit sphere.
bool PushFacingFrame(const Vec3& center, double sizeFactor, double extraRotation, double& halfSize)
{
    // 1-3. Half-size from the distance between the eye and the centre.
    const Matrices before;
    const Vec3 w = before.Project(center);
    const Vec3 further = before.UnProject(w.x, w.y, w.z + 1.0);
    const Vec3 eye = before.Eye();
    const Vec3 toEye = eye - center;
    halfSize = BillboardHalfSize(sizeFactor, Dot(toEye, toEye));
    // An eye inside the unit sphere has no silhouette to match.
    if (!std::isfinite(halfSize))
        return false;

    // 4-5. Turn the local z axis onto the line of sight.
    const Vec3 d = Normalized(further - center);
    glPushMatrix();
    glTranslated(center.x, center.y, center.z);
    glRotated(std::acos(std::clamp(d.z, -1.0, 1.0)) * kRadToDeg, -d.y, d.x, 0.0);

    // 6-7. Find the screen's up direction in the new local space and turn the
    // square's +y onto it.
    const Matrices turned;
    const Vec3 p0 = turned.UnProject(0.0, 0.0, 0.0);
    const Vec3 p1 = turned.UnProject(0.0, 1.0, 0.0);
    const Vec3 up = Normalized(p1 - p0);
    const double phi = DirectionAngle(up.x, up.y);
    glRotated(phi * kRadToDeg - 90.0 + extraRotation, 0.0, 0.0, 1.0);
    return true;
}

} // namespace

void DrawFacingBillboard(
    const Vec3& center, double sizeFactor, double alpha, double extraRotation, const TextureShape& shape)
{
    double s = 0.0;
    if (!PushFacingFrame(center, sizeFactor, extraRotation, s))
        return;

    // 8-9. Drawn over everything, from both sides, unlit.
    glPushAttrib(kBillboardAttribs);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    const float fs = static_cast<float>(s);
    if (shape.whole) {
        glBegin(GL_QUADS);
        glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(alpha));
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(fs, -fs, 0.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(fs, fs, 0.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-fs, fs, 0.0f);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-fs, -fs, 0.0f);
        glEnd();
    } else {
        // Texture (s, t) lies at (2s - 1, 2t - 1) half-sizes, as on the square.
        glBegin(GL_TRIANGLES);
        glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(alpha));
        for (const TexturePoint& p : shape.triangles) {
            glTexCoord2f(p.s, p.t);
            glVertex3f(fs * (2.0f * p.s - 1.0f), fs * (2.0f * p.t - 1.0f), 0.0f);
        }
        glEnd();
    }

    // 10. Matrix first, then the attributes (colour included).
    glPopMatrix();
    glPopAttrib();
}

bool ProjectFacingBillboard(const Vec3& center, double sizeFactor, double extraRotation)
{
    double s = 0.0;
    if (!PushFacingFrame(center, sizeFactor, extraRotation, s))
        return false;
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    const auto toEye = [&m](double x, double y) {
        return Vec3 {m[0] * x + m[4] * y + m[12], m[1] * x + m[5] * y + m[13], m[2] * x + m[6] * y + m[14]};
    };

    // The square in eye space: texture (0, 0) at c0, (1, 0) at c0 + e1 and
    // (0, 1) at c0 + e2, on the plane n . X = k.
    const Vec3 c0 = toEye(-s, -s);
    const Vec3 e1 = toEye(s, -s) - c0;
    const Vec3 e2 = toEye(-s, s) - c0;
    const Vec3 n = Cross(e1, e2);
    const double k = Dot(n, c0);
    const double area = Dot(n, n);
    if (k == 0.0 || area == 0.0)
        return false;
    // The eye ray through P meets the plane at X = P k / (n . P), where the
    // texture reads (f1 . (X - c0), f2 . (X - c0)). Times q = n . P / k both
    // are linear in P, and GL divides the q back out per fragment.
    const Vec3 f1 = Cross(e2, n) * (1.0 / area);
    const Vec3 f2 = Cross(n, e1) * (1.0 / area);
    const Vec3 sPlane = f1 - n * (Dot(f1, c0) / k);
    const Vec3 tPlane = f2 - n * (Dot(f2, c0) / k);
    const Vec3 qPlane = n * (1.0 / k);

    // Eye planes are taken through the inverse of the current model-view
    // matrix; with the identity loaded they stay in eye space.
    glPushMatrix();
    glLoadIdentity();
    const GLenum coords[3] = {GL_S, GL_T, GL_Q};
    const Vec3* planes[3] = {&sPlane, &tPlane, &qPlane};
    for (int i = 0; i < 3; ++i) {
        const GLdouble plane[4] = {planes[i]->x, planes[i]->y, planes[i]->z, 0.0};
        glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGendv(coords[i], GL_EYE_PLANE, plane);
    }
    glPopMatrix();
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_Q);
    return true;
}

void DrawLimbGlow(const Vec3& center, double radius, const Vec3& lightPoint, const SceneTextures& textures)
{
    // 1-2. A light beyond the far plane or behind the eye throws no glow.
    const Matrices m;
    const Vec3 l = m.Project(lightPoint);
    const Vec3 c = m.Project(center);
    if (l.z > 1.0)
        return;

    // 3. The light's direction from the body on the screen.
    const double angleDeg = DirectionAngle(l.x - c.x, l.y - c.y) * kRadToDeg;

    // 4-6. q: the light's angular distance from the centre in body radii.
    const Vec3 eye = m.Eye();
    const Vec3 v1 = center - eye;
    const double dist = Length(v1);
    const double halfSize = radius / std::sqrt(1.0 - radius * radius / (dist * dist));
    const double angularRadius = std::atan(halfSize / dist);
    const Vec3 v2 = Normalized(lightPoint - eye);
    const double theta = std::acos(std::clamp(Dot(Normalized(v1), v2), -1.0, 1.0));
    const double q = theta / angularRadius;
    if (!std::isfinite(q))
        return;

    // 7-8. The rim alpha grows without bound towards the limb; GL would
    // clamp it to 1 anyway, so it is clamped here to keep infinities out.
    const GlowAlphas a = LimbGlowAlphas(q);
    // At low alphas each layer draws only the part of its texture bright
    // enough to change a pixel, or nothing.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, textures[TextureSlot::Flare7]);
    if (const TextureShape* shape = textures.glowShapes.ForAlpha(a.outer))
        DrawFacingBillboard(center, 1.08, a.outer, angleDeg - 45.0, *shape);
    glBindTexture(GL_TEXTURE_2D, textures[TextureSlot::Flare9]);
    const double rim = std::min(a.rim, 1.0);
    if (const TextureShape* shape = textures.rimShapes.ForAlpha(rim))
        DrawFacingBillboard(center, 1.03, rim, angleDeg - 45.0, *shape);
}

} // namespace velmora
