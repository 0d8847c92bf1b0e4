#pragma once
// The screensaver's one scene: loads everything from the archive, holds the
// clock and the camera, and draws one frame per call. All calls but
// ReleaseBuffers need the GL context current.

#include <array>
#include <cstddef>
#include <vector>

#include "camera/Camera.h"
#include "camera/Vec3.h"
#include "resources/HeapBlock.h"
#include "resources/ShapeMesh.h"
#include "scene/Billboard.h"
#include "scene/GlObjects.h"
#include "scene/PassState.h"
#include "scene/Planet.h"
#include "scene/Rings.h"
#include "scene/SceneGeometry.h"
#include "scene/SceneNotifier.h"
#include "scene/SceneTextures.h"
#include "scene/StarField.h"
#include "scene/SunFlares.h"
#include "scene/Titan.h"
#include "settings/SaverSettings.h"

namespace velmora {

// The element passes of a frame, in drawing order.
enum class FramePass : int { Stars, Sun, Planet, LimbGlow, Rings, Titan, LensFlares, Count };

inline constexpr std::array<PassContract, static_cast<std::size_t>(FramePass::Count)> kFramePasses {
    kStarPass, kSunPass, kPlanetPass, kLimbGlowPass, kRingPass, kTitanPass, kLensFlarePass};
static_assert(kFramePasses.size() == static_cast<std::size_t>(FramePass::Count));

// Told before and after each pass of a frame (tests check the declared state
// there).
class FramePassObserver {
public:
    virtual ~FramePassObserver() = default;
    virtual void BeforePass(FramePass pass) = 0;
    virtual void AfterPass(FramePass pass) = 0;
};

class SpaceScene {
public:
    explicit SpaceScene(SceneNotifier& notifier);

    // Once, with the context current: textures and shape, stars, fixed GL
    // state and light, then the clock's start rule. A failure is reported and
    // a quit requested; the remaining steps still run.
    void Initialize(const SaverSettings& settings, int width, int height);
    // Viewport and projection; a height of 0 counts as 1.
    void Resize(int width, int height);
    // One frame into the back buffer (no swap), then the clock advances.
    void DrawFrame(FramePassObserver* observer = nullptr);
    // Deletes every texture and the star list, with the context current; the
    // scene draws nothing useful afterwards. Destroying the scene does the
    // same, so it too must happen with the context current.
    void ReleaseGlObjects();
    // Frees the retained blocks; touches no GL state.
    void ReleaseBuffers();

    // The ring pass's faster paths in use; UseRingPaths keeps only the wanted
    // ones among those the pictures and the context allow.
    const RingPaths& RingPathsInUse() const { return rings_.Paths(); }
    void UseRingPaths(const RingPaths& wanted) { rings_.UsePaths(wanted); }

    double AnimationTime() const { return animationTime_; }
    void SetAnimationTime(double t) { animationTime_ = t; }

    const SaverSettings& Settings() const { return settings_; }
    const SceneTextures& Textures() const { return textures_; }
    const Camera& GetCamera() const { return camera_; }
    const StarCatalogue& Stars() const { return stars_; }
    std::size_t RetainedBufferCount() const { return retained_.size(); }

private:
    bool LoadTexturesAndShape();
    void SetFixedState(int width, int height);
    void LoadProjection(int width, int height);

    SceneNotifier& notifier_;
    SaverSettings settings_ {};
    double animationTime_ = 7000.0;
    GlTextureNames textureNames_; // owns every name in textures_
    SceneTextures textures_;
    ShapeMesh shape_;
    // Every decoded pixel block, the star array and the shape's bytes, in
    // load order, kept until the window goes.
    std::vector<HeapBlock> retained_;
    Camera camera_;
    StarCatalogue stars_;
    PlanetBody planet_;
    RingSystem rings_;
    TitanBody titan_;
    SunFlares sunFlares_;
};

} // namespace velmora
