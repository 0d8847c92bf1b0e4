#pragma once
// The ring system: the textured annulus in the planet's equatorial plane, the
// rings' shadow on the planet, the two turning pattern layers and the planet's
// shadow on the rings. The shadows and patterns are pre-painted textures laid
// over the framebuffer; the stencil buffer keeps them on visible ring pixels.

#include "scene/GlApi.h"

#include <cstdint>
#include <vector>

#include "scene/GlObjects.h"
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

// The ring pass as the frame calls it: lit, depth-tested and writing depth,
// and with the stencil test on and marking the background when the pass draws
// its mask on its own (RingPaths::oneColourPass false). It leaves the blend
// function and the bound texture of its last layer, which depends on the
// path. The dome and overlay transforms are undone by their inverses.
inline constexpr PassContract kRingPass {"rings", kLitOpaque.DepthWrites(Cap::On),
    kLitOpaque.DepthWrites(Cap::On).StencilTest(Cap::Off).Colour(1.0f, 1.0f, 1.0f, 1.0f),
    ModelViewEffect::UndoneByInverse};

// How the ring pass lays its colour, chosen at load.
struct RingPaths {
    // Colour and opacity mask in one RGBA texture (the mask as alpha), laid
    // in one pass as framebuffer x mask + 0.7 colour instead of a mask pass
    // and two colour passes. Plain OpenGL 1.1; needs a grey mask of the
    // colour picture's size, else the separate passes draw.
    bool oneColourPass = false;
    // The light and dark patterns in one pass over two texture units (OpenGL
    // 1.3 combiners): 0.9 dark + framebuffer x light, the dark pattern's grey
    // as the colour and the light pattern's grey as the alpha, one byte per
    // texel each. Needs two units, else the two passes draw.
    bool onePatternPass = false;
    // Both of the above at once: the annulus of the one-pass colour carries
    // the two patterns on units 1 and 2, so every ring fragment is fetched
    // and blended once. Needs both paths and three units.
    bool patternsInColourPass = false;
};

// Turns the stencil test on so every pixel drawn from here until the ring pass
// carries kBackgroundStencilMark; the ring pass then runs with
// backgroundMarked true and turns the test off again.
void BeginBackgroundMarking();

class RingSystem {
public:
    // The whole pass, called with the model-view matrix equal to the camera's
    // (the planet's spin undone, its flattening cancelled); restores that matrix.
    // Leaves lighting on, blending and the stencil test off, depth test and
    // depth writes on, colour (1, 1, 1, 1).
    // backgroundMarked: every pixel drawn so far carries kBackgroundStencilMark
    // (and the stencil test is on, marking), so a mask pass of its own, which
    // only multiplies, may skip the unmarked ones: black times anything is
    // black. The one-pass colour needs no marks (and ignores them).
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

    // Once every picture is set, with the context current: makes the
    // texture the one-pass colour needs (its name owned by names) and takes
    // it when the pictures allow.
    void PrepareGl(GlTextureNames& names);
    // Keeps only the wanted paths among those PrepareGl found possible (for
    // comparing them with the separate passes).
    void UsePaths(const RingPaths& wanted);
    const RingPaths& Paths() const { return paths_; }

private:
    void DrawColourLayers(const SceneTextures& textures, bool backgroundMarked, double animationTime) const;
    void DrawAnnulusWithPatterns(double animationTime) const;
    void DrawPatternsInOnePass(double animationTime) const;

    SphereQuarterMesh hemisphere_;
    bool hemisphereNeedsBuilding_ = true;
    std::vector<TexturePiece> spotsWhitePieces_ {kWholeTexture};
    std::vector<TexturePiece> spotsBlackPieces_ {kWholeTexture};
    std::vector<TexturePiece> shadowOnRingPieces_ {kWholeTexture};
    TextureBounds ringsShadowBounds_;

    // Load time: the colour picture until the mask arrives, then both as
    // RGBA until PrepareGl uploads them.
    std::vector<uint8_t> colourPixels_;
    int colourWidth_ = 0;
    int colourHeight_ = 0;
    std::vector<uint8_t> colourWithMask_;
    GLuint colourWithMaskTexture_ = 0;
    // Load time: the one-pass patterns' textures until PrepareGl uploads
    // them (one-byte greys), empty when not possible.
    std::vector<uint8_t> lightGrey_;
    int lightWidth_ = 0;
    int lightHeight_ = 0;
    std::vector<uint8_t> darkGrey_;
    int darkWidth_ = 0;
    int darkHeight_ = 0;
    GLuint lightGreyTexture_ = 0;
    GLuint darkGreyTexture_ = 0;
    RingPaths possible_;
    RingPaths paths_;
};

} // namespace velmora
