#include "scene/Planet.h"

#include "scene/Billboard.h"
#include "scene/SceneGeometry.h"

namespace velmora {

void PlanetBody::Draw(const SceneTextures& textures)
{
    glPushMatrix();
    glColor3d(1.0, 1.0, 1.0);
    if (needsBuild_) {
        mesh_.Build(kPlanetRadius, kSphereMeshColumns, kSphereMeshRows);
        needsBuild_ = false;
    }
    // Lit, textured, depth-tested, culled, unblended; the colour material
    // makes white the ambient and diffuse reflectance.
    mesh_.DrawFourTextures(textures.surface);

    // Set after the mesh on purpose: this material serves every lit draw
    // that follows, the planet itself from the second frame on.
    glMateriali(GL_FRONT, GL_SHININESS, 80);
    const GLfloat specular[4] = {0.6f, 0.5f, 0.4f, 1.0f};
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, black);
    glColor4d(2.0, 2.0, 2.0, 2.0);

    // Limb darkening: multiply the framebuffer by the halo texture over a
    // square just larger than the silhouette.
    glBindTexture(GL_TEXTURE_2D, textures[TextureSlot::Flare10]);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    DrawFacingBillboard(Vec3 {0.0, 0.0, 0.0}, 1.055, 2.0, 0.0, textures.darkeningShape);
    glPopMatrix();
}

} // namespace velmora
