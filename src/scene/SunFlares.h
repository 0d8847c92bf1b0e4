#pragma once
// The Sun and the glare it throws on the camera lens. The Sun pass moves the
// light and draws a small white sphere; the flare pass, after the whole scene,
// measures how much of the Sun the depth buffer shows and adds a chain of
// sprites along the line from the Sun through the screen centre.

#include "scene/GlApi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "camera/Vec3.h"
#include "scene/FlareGroups.h"
#include "scene/GlObjects.h"
#include "scene/LensFlareTable.h"
#include "scene/PassState.h"
#include "scene/SceneGeometry.h"
#include "scene/SceneTextures.h"
#include "scene/TextureBounds.h"

namespace velmora {

// Occlusion ring: 129 depth samples at 0.03 device units around the Sun.
inline constexpr int kOcclusionSampleCount = 129;
inline constexpr double kOcclusionRadius = 0.03;
inline constexpr double kOcclusionStep = 1.0 / 128.0;
inline constexpr double kFlareFadeScale = 0.3;

// The brightest texel value a flare quad leaves out with the black ones.
inline constexpr uint8_t kFaintestLeftOutTexel = 1;

// The part of a flare texture a quad draws: its cut-corner pieces
// (CutCornerPieces) with texels whose channels are all at most
// kFaintestLeftOutTexel counted as black. Added at a colour and alpha of at
// most 1 (GL clamps both), such texels, and the filter's blend of them,
// raise no channel by more than one step.
std::vector<TexturePiece> FlarePieces(const uint8_t* rgb, int width, int height);

// Where a flare texture is not black, from its decoded pixels (clamped
// texture, so nothing wraps).
TextureBounds ComputeSpriteBounds(const uint8_t* rgb, int width, int height);

// One textured, additively blended quad in device coordinates, facing the
// screen: centre (x, y), turned by angle radians, with the texture's (1, 0)
// corner at (x + hw cos, y + hh sin). Only the given pieces of the texture
// are drawn (those that are not black; see TexturePieces), and none that lie
// beside the screen. Leaves the blend function and the bound texture as it
// set them.
void DrawScreenSprite(double x, double y, double angle, double halfWidth, double halfHeight, double alpha,
    GLuint texture, float r, float g, float b,
    std::span<const TexturePiece> pieces = std::span<const TexturePiece>(&kWholeTexture, 1));

// How the occlusion samples are fetched from the depth buffer. Both give the
// same result; the block read is one glReadPixels of the rectangle holding
// every on-screen sample.
enum class DepthReadMode { OnePixelEach, OneBlock };

// What the flare pass measured for one point.
struct SunVisibility {
    bool projected = false; // false: behind the camera or beyond the far plane
    double nx = 0.0; // device coordinates of the Sun
    double ny = 0.0;
    double depth = 0.0; // window depth of the Sun
    double hidden = 1.0; // 1 - visible samples / 128
    int onScreenSamples = 0;

    double Visible() const { return 1.0 - hidden; }
    double Fade() const { return Visible() * kFlareFadeScale; }
};

// The hidden share measured when visible of the samples are clear, counted
// down the way the measurement counts.
double HiddenShare(int visible);

// Projects sun through the current matrices and counts the samples of the
// occlusion ring where nothing nearer than the Sun was drawn.
SunVisibility MeasureSunVisibility(const Vec3& sun, DepthReadMode mode = DepthReadMode::OneBlock);

// A row's colour drifting towards orange (1, 0.5, 0) as the Sun is hidden.
std::array<float, 3> FlareColour(float r, float g, float b, double hidden);

// The Sun pass: light 0 moved to the Sun, then a white sphere drawn with
// lighting, depth test and texturing off, all three back on afterwards.
inline constexpr PassContract kSunPass {"sun", kLitOpaque,
    kLitOpaque.Texturing(Cap::On).Colour(1.0f, 1.0f, 1.0f, 1.0f), ModelViewEffect::UndoneByInverse};

// The lens flares: every sprite pushes and pops what it changes except the
// blend function and the texture binding, and both matrices.
inline constexpr PassContract kLensFlarePass {"lens flares", kLitOpaque, kLitOpaque, ModelViewEffect::Kept};

class SunFlares {
public:
    // Load time: where each flare texture is not black, from its decoded
    // pixels; index 0 is "flare1.jpg".
    void SetFlareImage(std::size_t index, const uint8_t* rgb, int width, int height);
    std::span<const TexturePiece> Pieces(std::size_t index) const { return pieces_.at(index); }

    // Load time, once every flare image is known: the sprites that share a
    // centre are added up into one texture per group (names from names), for
    // the frames with the Sun in full view. Without it every sprite is drawn
    // on its own.
    void PrepareMergedSprites(const FlareImages& images, GlTextureNames& names);
    std::size_t MergedGroupCount() const { return merged_.size(); }
    // Draw each sprite on its own even with the Sun in full view.
    void SetMergedSprites(bool on) { useMerged_ = on; }

    // Both modes give the same result; the block read is the faster.
    void SetDepthReadMode(DepthReadMode mode) { depthReadMode_ = mode; }

    // Right after the star field: puts light 0 at the Sun and draws the Sun as
    // an unlit white sphere that writes no depth. Leaves lighting, the depth
    // test and texturing on.
    static void DrawSun(const Vec3& sunPosition);

    // After the whole scene, with the camera's model-view matrix current.
    // Returns what was measured (nothing is drawn when the fade is 0).
    SunVisibility DrawLensFlares(const Vec3& sun, const SceneTextures& textures) const;

private:
    static std::array<std::vector<TexturePiece>, kFlareImageCount> MakeWholePieces();

    struct MergedSprite {
        FlareGroup group;
        GLuint texture = 0;
        std::vector<TexturePiece> pieces;
    };

    std::array<std::vector<TexturePiece>, kFlareImageCount> pieces_ {MakeWholePieces()};
    DepthReadMode depthReadMode_ = DepthReadMode::OneBlock;
    std::vector<MergedSprite> merged_;
    std::array<std::size_t, kFlareSpriteCount> mergedOfRow_ {}; // 1 + index into merged_; 0: alone
    bool useMerged_ = true;
};

} // namespace velmora
