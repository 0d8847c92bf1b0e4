// [SECTION] Set-up: textures and shape, fixed state, projection
// [SECTION] Frame composition
// [SECTION] Release

#include "scene/SpaceScene.h"

#include "scene/GlApi.h"

#include "camera/CameraOrbit.h"
#include "resources/DecodedImage.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "scene/Billboard.h"

namespace velmora {

namespace {

constexpr char kMsgOpenArchive[] = "Can't open resource data file.";
constexpr char kMsgTexture[] = "Can't load pTexture.";
constexpr char kMsgShape[] = "Can't load 3D shape.";

// Uploads one decoded RGB image into the bound texture with its row of the
// table.
void UploadTexture(const TextureRow& entry, const DecodedImage& image)
{
    ApplyTextureRowParameters(entry);
    // Rows are tightly packed; widths that are not a multiple of 4 must not
    // be read with GL's default 4-byte row alignment.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (entry.mipmapped)
        gluBuild2DMipmaps(
            GL_TEXTURE_2D, 3, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.get());
    glTexImage2D(
        GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.get());
    glPopClientAttrib();
}

// The billboards' textures: what part of their squares to draw.
void SetBillboardShape(SceneTextures& textures, TextureSlot slot, const uint8_t* rgb, int width, int height)
{
    switch (slot) {
    case TextureSlot::Flare7:
        textures.glowShapes = MakeAddedShapes(rgb, width, height);
        break;
    case TextureSlot::Flare9:
        textures.rimShapes = MakeAddedShapes(rgb, width, height);
        break;
    case TextureSlot::Flare10:
        textures.darkeningShape = RingShape(rgb, width, height, 255);
        break;
    default:
        break;
    }
}

} // namespace

SpaceScene::SpaceScene(SceneNotifier& notifier)
    : notifier_(notifier)
{
}

// [SECTION] Set-up: textures and shape, fixed state, projection

void SpaceScene::Initialize(const SaverSettings& settings, int width, int height)
{
    settings_.CopyFrom(settings);
    // A failure is reported and a quit requested; the remaining steps run so
    // the frames drawn until the quit is processed are merely incomplete.
    LoadTexturesAndShape();
    stars_.Load(notifier_, retained_);
    SetFixedState(width, height);
    animationTime_ = ClockStart(settings_.RandomCameraStart);
}

bool SpaceScene::LoadTexturesAndShape()
{
    ResourceArchive archive;
    if (!archive.Open(kArchiveResourceId)) {
        notifier_.ShowError(kMsgOpenArchive);
        notifier_.RequestQuit();
        return false;
    }
    FlareImages flareImages;
    for (const TextureRow& entry : kTextureTable) {
        DecodedImage image;
        // The upload reads three bytes per pixel; a 32-bit picture would be
        // misread, so it counts as undecodable like any other bad image.
        if (!image.Load(archive, ArchiveMemberName(entry.member)) || !image.pixels || image.bitsPerPixel != 24
            || image.width <= 0 || image.height <= 0) {
            notifier_.ShowError(kMsgTexture);
            notifier_.RequestQuit();
            return false;
        }
        const GLuint name = textureNames_.Generate();
        glBindTexture(GL_TEXTURE_2D, name);
        UploadTexture(entry, image);
        textures_[entry.slot] = name;
        // The flare sprites and ring overlays are cut to the part of their
        // texture that changes anything when drawn.
        if (entry.slot <= TextureSlot::Flare10) {
            const auto index = static_cast<std::size_t>(entry.slot);
            sunFlares_.SetFlareImage(index, image.pixels.get(), image.width, image.height);
            flareImages[index] = {image.pixels.get(), image.width, image.height};
        }
        rings_.SetOverlayImage(entry.slot, image.pixels.get(), image.width, image.height);
        SetBillboardShape(textures_, entry.slot, image.pixels.get(), image.width, image.height);
        // The decoded pixels stay for the whole run.
        retained_.push_back(std::move(image.pixels));
    }

    rings_.PrepareGl(textureNames_);
    sunFlares_.PrepareMergedSprites(flareImages, textureNames_);

    // No element draws this mesh; it is loaded and required all the same, as
    // it always has been (why it stays: ArchiveMembers.h).
    HeapBlock bytes;
    const long size = archive.Extract(ArchiveMemberName(ArchiveMemberId::Phobos), bytes);
    if (size <= 0 || !bytes) {
        notifier_.ShowError(kMsgShape);
        notifier_.RequestQuit();
        return false;
    }
    const unsigned char* raw = bytes.get();
    retained_.push_back(std::move(bytes));
    if (!shape_.Load(raw, size)) {
        notifier_.ShowError(kMsgShape);
        notifier_.RequestQuit();
        return false;
    }
    return true;
}

void SpaceScene::SetFixedState(int width, int height)
{
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_FASTEST);
    glHint(GL_FOG_HINT, GL_FASTEST);

    // The window sets the viewport through Resize right after this.
    LoadProjection(width, height);

    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // With an identity model-view; the Sun pass moves the light every frame.
    glLoadIdentity();
    const GLfloat position[4] = {1000.0f, 1000.0f, 1000.0f, 1.0f};
    const GLfloat direction[3] = {-1.0f, -1.0f, -1.0f};
    // Negative ambient darkens the night side; diffuse is over-bright on
    // purpose.
    const GLfloat ambient[4] = {-0.15f, -0.15f, -0.14f, 1.0f};
    const GLfloat diffuse[4] = {2.0f, 2.0f, 2.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
}

void SpaceScene::LoadProjection(int width, int height)
{
    if (height == 0)
        height = 1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(
        45.0, static_cast<double>(width) / static_cast<double>(height), static_cast<double>(0.01f), 1000.0);
    glMatrixMode(GL_MODELVIEW);
}

void SpaceScene::Resize(int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    LoadProjection(width, height);
}

// [SECTION] Frame composition

void SpaceScene::DrawFrame(FramePassObserver* observer)
{
    const double t = animationTime_;
    const auto before = [observer](FramePass pass) {
        if (observer)
            observer->BeforePass(pass);
    };
    const auto after = [observer](FramePass pass) {
        if (observer)
            observer->AfterPass(pass);
    };

    // 1. Fresh matrix and buffers; the ring pass relies on a cleared stencil.
    glLoadIdentity();
    // The clear honours the stencil write mask, which the ring pass leaves
    // whole; set it anyway so no frame can start with stale marks.
    glStencilMask(~0u);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    // 2. Camera: flown on its orbit in modes 0..2, loaded in every mode.
    if (CameraFollowsOrbit(settings_.CamMode))
        UpdateCameraOrbit(camera_, t);
    camera_.LookAt();

    // When the rings lay their mask in a pass of its own, every pixel drawn
    // until then gets a stencil mark, so that pass can skip the sky still
    // black from the clear.
    const bool markBackground = !rings_.Paths().oneColourPass;
    if (markBackground)
        BeginBackgroundMarking();

    // 3. Star field: first, writing no depth, so everything covers it.
    before(FramePass::Stars);
    stars_.Draw();
    after(FramePass::Stars);

    // 4. Sun body and light position (the light follows the Sun in scene
    //    coordinates). Leaves lighting, depth test and texturing on.
    before(FramePass::Sun);
    SunFlares::DrawSun(kSunPosition);
    after(FramePass::Sun);

    // 5. The planet's spin and polar flattening.
    glPushMatrix();
    glRotated(2.0 * t, 0.0, 0.0, 1.0);
    glScalef(1.0f, 1.0f, kPlanetPolarScaleF);

    // 6. Planet body; the flattening scales the normals, hence GL_NORMALIZE.
    glEnable(GL_NORMALIZE);
    before(FramePass::Planet);
    planet_.Draw(textures_);
    after(FramePass::Planet);
    glDisable(GL_NORMALIZE);

    // 7. Undo the spin (keep the flattening) and add the limb glow.
    glRotated(-2.0 * t, 0.0, 0.0, 1.0);
    before(FramePass::LimbGlow);
    DrawLimbGlow(Vec3 {0.0, 0.0, 0.0}, kPlanetRadius, kSunPosition, textures_);
    after(FramePass::LimbGlow);

    // 8. Cancel the flattening, then the rings with both shadows. That pass
    //    must leave the model-view matrix as it found it.
    glScalef(1.0f, 1.0f, kPlanetPolarUnscaleF);
    before(FramePass::Rings);
    rings_.DrawRings(textures_, t, /*backgroundMarked=*/markBackground);
    after(FramePass::Rings);

    // 9. Titan: orbit transform and body (its transforms are not undone
    //    one by one; the pop below does it).
    before(FramePass::Titan);
    titan_.DrawTitan(textures_, t, kSunPosition);
    after(FramePass::Titan);

    // 10. Back to the camera alone.
    glPopMatrix();

    // 11. Lens flares for the Sun.
    before(FramePass::LensFlares);
    sunFlares_.DrawLensFlares(kSunPosition, textures_);
    after(FramePass::LensFlares);

    // 12. Advance the clock by one frame's step.
    animationTime_ = t + ClockStep(settings_.AnimationSpeed);
}

// [SECTION] Release

void SpaceScene::ReleaseGlObjects()
{
    textureNames_.Reset();
    textures_ = SceneTextures {};
    stars_.ReleaseList();
}

void SpaceScene::ReleaseBuffers()
{
    stars_.Forget();
    // In load order; every block is freed (an empty entry is simply skipped).
    for (HeapBlock& block : retained_)
        block.reset();
    retained_.clear();
}

} // namespace velmora
