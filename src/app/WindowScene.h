#pragma once
// The interface the full-screen window drives: one scene with the calls of
// its life. The window never needs more, and tests can hand it a small scene;
// SpaceSceneAdapter puts the tour (SpaceScene) behind it.

#include <memory>

#include "scene/SceneNotifier.h"
#include "settings/SaverSettings.h"

namespace velmora {

class WindowScene {
public:
    virtual ~WindowScene() = default;
    // Once, with the context current and the client size before any change
    // of display mode.
    virtual void Initialize(const SaverSettings& settings, int width, int height) = 0;
    virtual void Resize(int width, int height) = 0;
    // One frame into the back buffer; the window swaps.
    virtual void DrawFrame() = 0;
    // With the context still current, before the window lets it go: deletes
    // the scene's GL objects.
    virtual void ReleaseGlObjects() = 0;
    // After the context is gone; frees memory only.
    virtual void ReleaseBuffers() = 0;
};

// The tour of the planet, reporting its failures through `notifier`.
std::unique_ptr<WindowScene> MakeSpaceScene(SceneNotifier& notifier);

} // namespace velmora
