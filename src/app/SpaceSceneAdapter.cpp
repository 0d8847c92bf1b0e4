#include "app/FrameRateProbe.h"
#include "app/WindowScene.h"
#include "scene/SpaceScene.h"

namespace velmora {

namespace {

// The tour behind the window's interface; it forwards, with the clock a
// benchmark run may fix.
class SpaceSceneAdapter final : public WindowScene {
public:
    explicit SpaceSceneAdapter(SceneNotifier& notifier)
        : scene_(notifier)
    {
    }

    void Initialize(const SaverSettings& settings, int width, int height) override
    {
        scene_.Initialize(settings, width, height);
        scene_.SetAnimationTime(clock_.Start(scene_.AnimationTime()));
    }
    void Resize(int width, int height) override { scene_.Resize(width, height); }
    void DrawFrame() override
    {
        scene_.SetAnimationTime(clock_.Frame(scene_.AnimationTime()));
        scene_.DrawFrame();
    }
    void ReleaseGlObjects() override { scene_.ReleaseGlObjects(); }
    void ReleaseBuffers() override { scene_.ReleaseBuffers(); }

private:
    SpaceScene scene_;
    BenchClock clock_ = BenchClock::FromEnvironment();
};

} // namespace

std::unique_ptr<WindowScene> MakeSpaceScene(SceneNotifier& notifier)
{
    return std::make_unique<SpaceSceneAdapter>(notifier);
}

} // namespace velmora
