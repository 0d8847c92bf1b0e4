#include "app/FrameScene.h"
#include "scene/SpaceScene.h"

namespace velmora {

namespace {

class SpaceSceneFrame final : public FrameScene {
public:
    explicit SpaceSceneFrame(SceneNotifier& notifier)
        : scene_(notifier)
    {
    }

    void Initialize(const SaverSettings& settings, int width, int height) override
    {
        scene_.Initialize(settings, width, height);
    }
    void Resize(int width, int height) override { scene_.Resize(width, height); }
    void DrawFrame() override { scene_.DrawFrame(); }
    void ReleaseGlObjects() override { scene_.ReleaseGlObjects(); }
    void ReleaseBuffers() override { scene_.ReleaseBuffers(); }

private:
    SpaceScene scene_;
};

} // namespace

std::unique_ptr<FrameScene> MakeSpaceScene(SceneNotifier& notifier)
{
    return std::make_unique<SpaceSceneFrame>(notifier);
}

} // namespace velmora
