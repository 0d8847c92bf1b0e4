#pragma once
// The ring system: the textured annulus in the planet's equatorial plane, the
// rings' shadow on the planet, the two turning pattern layers and the planet's
// shadow on the rings. The shadows and patterns are pre-painted textures laid
// over the framebuffer; the stencil buffer keeps them on visible ring pixels.

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "scene/PassState.h"
#include "scene/SceneGeometry.h"
#include "scene/SceneTextures.h"
#include "scene/SphereQuarterMesh.h"
#include "scene/TextureBounds.h"

namespace velmora {

inline constexpr int kRingSegments = 128;
// Stencil bit marking a ring pixel that passed the depth test this frame; the
// context must provide at least two stencil bits.
inline constexpr GLint kRingStencilMark = 2;
// Stencil bit a frame may set on every pixel drawn before the rings; pixels
// without it are still black from the clear.
inline constexpr GLint kBackgroundStencilMark = 1;

// The ring pass as the frame calls it: with the stencil test on and marking
// the background (backgroundMarked true), lit, depth-tested and writing depth.
// The dome and overlay transforms are undone by their inverses.
inline constexpr PassContract kRingPass {"rings", kLitOpaque.DepthWrites(Cap::On).StencilTest(Cap::On),
    kLitOpaque.DepthWrites(Cap::On)
        .StencilTest(Cap::Off)
        .BlendFunction(GL_DST_COLOR, GL_ZERO)
        .Colour(1.0f, 1.0f, 1.0f, 1.0f)
        .BoundTexture(TextureSlot::ShadowOnRing),
    ModelViewEffect::UndoneByInverse};

// Turns the stencil test on so every pixel drawn from here until the ring pass
// carries kBackgroundStencilMark; the ring pass then runs with
// backgroundMarked true and turns the test off again.
void BeginBackgroundMarking();

class RingSystem {
public:
    // The whole pass, called with the model-view matrix equal to the camera's
    // (the planet's spin undone, its flattening cancelled); restores that matrix.
    // Leaves lighting on, blending and the stencil test off, depth test and
    // depth writes on, colour (1, 1, 1, 1) and blend (GL_DST_COLOR, GL_ZERO).
    // backgroundMarked: every pixel drawn so far carries kBackgroundStencilMark
    // (and the stencil test is on, marking), so the mask pass, which only
    // multiplies, may skip the unmarked ones: black times anything is black.
    void DrawRings(const SceneTextures& textures, double animationTime, bool backgroundMarked);

    // The annulus as two quad strips, one facing +z and one -z, so that it
    // survives back-face culling from either side. Uses the current texture,
    // colour and blending.
    static void DrawRingAnnulus();

    // Multiplies the planet's sunward half by the ring shadow texture,
    // projected along the Sun's horizontal direction. Expects lighting off.
    void DrawRingShadowOnPlanet(GLuint ringsShadow);

    // The two turning pattern layers and the planet's shadow, each a square
    // covering the rings; expects the stencil test to pass only on ring pixels.
    void DrawRingOverlays(const SceneTextures& textures, double animationTime) const;

    // Load time: where an overlay texture or the ring shadow can change a
    // pixel, from its decoded pixels (white changes nothing in the multiplied
    // layers, black nothing in the added one). Other slots are ignored.
    void SetOverlayImage(TextureSlot slot, const uint8_t* rgb, int width, int height);
    // The pieces of an overlay's square that are drawn.
    const std::vector<TexturePiece>& OverlayPieces(TextureSlot slot) const;

private:
    SphereQuarterMesh hemisphere_;
    bool hemisphereNeedsBuilding_ = true;
    std::vector<TexturePiece> spotsWhitePieces_ {kWholeTexture};
    std::vector<TexturePiece> spotsBlackPieces_ {kWholeTexture};
    std::vector<TexturePiece> shadowOnRingPieces_ {kWholeTexture};
    TextureBounds ringsShadowBounds_;
};

} // namespace velmora
