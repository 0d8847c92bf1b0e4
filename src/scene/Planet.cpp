#include "scene/Planet.h"

#include "scene/Billboard.h"
#include "scene/SceneGeometry.h"

namespace velmora {

namespace {

// The limb darkening's billboard: 1.055 silhouette radii, unturned.
constexpr double kDarkeningSize = 1.055;

} // namespace

bool PlanetBody::BeginDarkeningUnit(GLuint darkening) const
{
    glActiveTexture(GL_TEXTURE1);
    if (!ProjectFacingBillboard(Vec3 {0.0, 0.0, 0.0}, kDarkeningSize, 0.0)) {
        glActiveTexture(GL_TEXTURE0);
        return false;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, darkening);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glActiveTexture(GL_TEXTURE0);
    return true;
}

void PlanetBody::EndDarkeningUnit() const
{
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_Q);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
}

void PlanetBody::Draw(const SceneTextures& textures)
{
    glPushMatrix();
    glColor3d(1.0, 1.0, 1.0);
    if (needsBuild_) {
        mesh_.Build(kPlanetRadius, kSphereMeshColumns, kSphereMeshRows);
        secondUnit_ = CombinerUnits() >= 2;
        needsBuild_ = false;
    }
    // Limb darkening, where a second unit allows, multiplies the body's own
    // fragments as they are drawn instead of the framebuffer afterwards: the
    // same texels, one pass over the disc fewer.
    const GLuint darkening = textures[TextureSlot::Flare10];
    const bool merged = mergeDarkening_ && secondUnit_ && BeginDarkeningUnit(darkening);

    // Lit, textured, depth-tested, culled, unblended; the colour material
    // makes white the ambient and diffuse reflectance.
    mesh_.DrawFourTextures(textures.surface);
    if (merged)
        EndDarkeningUnit();

    // Set after the mesh on purpose: this material serves every lit draw
    // that follows, the planet itself from the second frame on.
    glMateriali(GL_FRONT, GL_SHININESS, 80);
    const GLfloat specular[4] = {0.6f, 0.5f, 0.4f, 1.0f};
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, black);
    glColor4d(2.0, 2.0, 2.0, 2.0);

    // Otherwise multiply the framebuffer by the halo texture over a square
    // just larger than the silhouette.
    glBindTexture(GL_TEXTURE_2D, darkening);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    if (!merged)
        DrawFacingBillboard(Vec3 {0.0, 0.0, 0.0}, kDarkeningSize, 2.0, 0.0, textures.darkeningShape);
    glPopMatrix();
}

} // namespace velmora
