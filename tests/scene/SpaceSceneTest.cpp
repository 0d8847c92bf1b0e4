#include "scene/SpaceScene.h"

#include "scene/GlApi.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "camera/CameraOrbit.h"
#include "ElementGl.h"
#include "SceneTestSupport.h"

namespace velmora {
namespace {

SaverSettings FixedStart()
{
    SaverSettings s;
    s.RandomCameraStart = 0;
    return s;
}

// A bare context; each test makes its scenes itself.
class SceneGl : public test::SquareGlTest<160> {
protected:
    // Initialize and Resize as the window does.
    void Start(SpaceScene& scene, const SaverSettings& settings)
    {
        scene.Initialize(settings, kSize, kSize);
        scene.Resize(kSize, kSize);
    }

    StderrNotifier notifier_;
};

// [SECTION] Loading, with an archive of our own in place of the program's

class SyntheticSceneGl : public SceneGl {
protected:
    void Register(const std::vector<ArchiveMemberId>& skip = {})
    {
        archive_ = std::make_unique<test::RegisteredArchive>(test::SyntheticSceneArchive(skip));
    }
    std::unique_ptr<test::RegisteredArchive> archive_;
};

TEST_F(SyntheticSceneGl, LoadsEveryTextureTheShapeAndTheStars)
{
    Register();
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(notifier_.ErrorCount(), 0) << notifier_.FirstError();
    EXPECT_FALSE(notifier_.QuitRequested());
    // 21 pixel blocks, the shape's bytes, the star array.
    EXPECT_EQ(scene.RetainedBufferCount(), kTextureSlotCount + 2);
    EXPECT_EQ(scene.Stars().Count(), 2);

    std::set<GLuint> names;
    for (const TextureRow& entry : kTextureTable) {
        const GLuint name = scene.Textures()[entry.slot];
        EXPECT_TRUE(glIsTexture(name)) << ArchiveMemberName(entry.member);
        names.insert(name);
        glBindTexture(GL_TEXTURE_2D, name);
        GLint minFilter = 0;
        GLint wrapS = 0;
        GLint wrapT = 0;
        GLint width = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(minFilter, entry.minFilter) << ArchiveMemberName(entry.member);
        EXPECT_EQ(wrapS, entry.wrap == kKeepDefaultWrap ? GL_REPEAT : entry.wrap)
            << ArchiveMemberName(entry.member);
        EXPECT_EQ(wrapT, wrapS) << ArchiveMemberName(entry.member);
        EXPECT_EQ(width, 16) << ArchiveMemberName(entry.member);
    }
    EXPECT_EQ(names.size(), kTextureSlotCount);
    EXPECT_EQ(scene.Textures().flare[7], scene.Textures()[TextureSlot::Flare8]);
    EXPECT_EQ(scene.Textures().surface[3], scene.Textures()[TextureSlot::Surface3]);

    // Titan carries a full mipmap chain; the others only level 0.
    GLint level4 = 0;
    glBindTexture(GL_TEXTURE_2D, scene.Textures().titan);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 4, GL_TEXTURE_WIDTH, &level4);
    EXPECT_EQ(level4, 1);
    glBindTexture(GL_TEXTURE_2D, scene.Textures().rings);
    GLint ringsLevel1 = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &ringsLevel1);
    EXPECT_EQ(ringsLevel1, 0);

    scene.ReleaseBuffers();
    EXPECT_EQ(scene.RetainedBufferCount(), 0u);
}

// Every texture and the star list belong to the scene: whether it goes by
// ReleaseGlObjects or by its destructor, none of their names stays behind in
// the context, however often a scene is made and dropped.
TEST_F(SyntheticSceneGl, ScenesMadeAndDroppedLeaveNoGlNamesBehind)
{
    Register();
    std::vector<GLuint> textures;
    std::vector<GLuint> lists;
    for (int round = 0; round < 12; ++round) {
        auto scene = std::make_unique<SpaceScene>(notifier_);
        Start(*scene, FixedStart());
        scene->DrawFrame(); // compiles the star list
        ASSERT_EQ(notifier_.ErrorCount(), 0) << notifier_.FirstError();
        for (std::size_t slot = 0; slot < kTextureSlotCount; ++slot) {
            const GLuint name = scene->Textures()[static_cast<TextureSlot>(slot)];
            ASSERT_TRUE(glIsTexture(name)) << "slot " << slot;
            textures.push_back(name);
        }
        ASSERT_GT(scene->Stars().ListName(), 0);
        lists.push_back(static_cast<GLuint>(scene->Stars().ListName()));
        if (round % 2 == 0) {
            scene->ReleaseGlObjects();
            EXPECT_EQ(scene->Textures()[TextureSlot::Titan], 0u);
            EXPECT_EQ(scene->Stars().ListName(), -1);
        }
        scene.reset();
        for (const GLuint name : textures)
            ASSERT_FALSE(glIsTexture(name)) << "texture " << name << " after round " << round;
        for (const GLuint list : lists)
            ASSERT_FALSE(glIsList(list)) << "list " << list << " after round " << round;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SyntheticSceneGl, MissingNeverDrawnFlareStillFailsTheTextures)
{
    Register({ArchiveMemberId::Flare8});
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(notifier_.FirstError(), "Can't load pTexture.");
    EXPECT_EQ(notifier_.ErrorCount(), 1);
    EXPECT_TRUE(notifier_.QuitRequested());
    // Loading stopped at that image; the stars and the clock still came.
    EXPECT_NE(scene.Textures().flare[6], 0u);
    EXPECT_EQ(scene.Textures().flare[7], 0u);
    EXPECT_EQ(scene.Textures().titan, 0u);
    EXPECT_EQ(scene.RetainedBufferCount(), 7u + 1u);
    EXPECT_EQ(scene.Stars().Count(), 2);
    EXPECT_EQ(scene.AnimationTime(), 7000.0);
    // Frames drawn until the quit is processed simply lack the parts.
    scene.DrawFrame();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SyntheticSceneGl, MissingShapeFailsWithItsOwnMessage)
{
    Register({ArchiveMemberId::Phobos});
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(notifier_.FirstError(), "Can't load 3D shape.");
    EXPECT_EQ(notifier_.ErrorCount(), 1);
    EXPECT_TRUE(notifier_.QuitRequested());
    EXPECT_NE(scene.Textures().titan, 0u);
}

TEST_F(SyntheticSceneGl, ShapeThatDoesNotLoadFailsLikeAMissingOne)
{
    test::ZipBuilder zip;
    for (const TextureRow& entry : kTextureTable)
        zip.Add(ArchiveMemberName(entry.member), test::SolidJpeg(16, 16, 1, 2, 3));
    zip.Add(ArchiveMemberName(ArchiveMemberId::Stars), std::string("1;1;1;A\n"));
    zip.Add(ArchiveMemberName(ArchiveMemberId::Phobos),
        test::Bytes {0xff, 0xff, 0xff, 0xff, 1, 2, 3}); // count -1
    test::RegisteredArchive archive(zip.Finish());
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(notifier_.FirstError(), "Can't load 3D shape.");
    EXPECT_TRUE(notifier_.QuitRequested());
    // The bytes were kept before the shape was tried.
    EXPECT_EQ(scene.RetainedBufferCount(), kTextureSlotCount + 2);
}

TEST_F(SyntheticSceneGl, UnreadableArchiveFailsTexturesAndStars)
{
    const std::string junk = "PK but not really an archive";
    test::RegisteredArchive archive(test::Bytes(junk.begin(), junk.end()));
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(notifier_.FirstError(), "Can't open resource data file.");
    EXPECT_EQ(notifier_.ErrorCount(), 2); // once for the textures, once for the stars
    EXPECT_TRUE(notifier_.QuitRequested());
    EXPECT_EQ(scene.RetainedBufferCount(), 0u);
    scene.DrawFrame();
    EXPECT_NEAR(scene.AnimationTime(), 7000.1, 1e-9);
}

TEST_F(SyntheticSceneGl, MissingStarsAreReportedAfterTheTextures)
{
    Register({ArchiveMemberId::Stars});
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(notifier_.FirstError(), "Can't open stars data file.");
    EXPECT_TRUE(notifier_.QuitRequested());
    EXPECT_EQ(scene.RetainedBufferCount(), kTextureSlotCount + 1);
}

TEST_F(SyntheticSceneGl, ImagesWithAlphaAreRejected)
{
    // A 32-bit TGA under a .jpg name does not decode as JPEG at all; an
    // unreadable image is the same failure as a missing one.
    test::ZipBuilder zip;
    for (const TextureRow& entry : kTextureTable)
        zip.Add(ArchiveMemberName(entry.member),
            entry.slot == TextureSlot::Rings ? test::Bytes(64, 0xAB) : test::SolidJpeg(16, 16, 1, 2, 3));
    test::RegisteredArchive archive(zip.Finish());
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(notifier_.FirstError(), "Can't load pTexture.");
    EXPECT_NE(scene.Textures().flare[9], 0u);
    EXPECT_EQ(scene.Textures().rings, 0u);
}

// [SECTION] Fixed state, projection, clock and camera

TEST_F(SyntheticSceneGl, FixedStateAndLight)
{
    Register();
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_CULL_FACE_MODE, &value);
    EXPECT_EQ(value, GL_BACK);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);

    GLfloat v[4];
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, v);
    EXPECT_FLOAT_EQ(v[0], -0.15f);
    EXPECT_FLOAT_EQ(v[2], -0.14f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, v);
    EXPECT_FLOAT_EQ(v[0], 2.0f);
    EXPECT_FLOAT_EQ(v[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_POSITION, v); // stored in eye coordinates
    EXPECT_FLOAT_EQ(v[0], 1000.0f);
    EXPECT_FLOAT_EQ(v[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, v);
    EXPECT_FLOAT_EQ(v[0], 180.0f);
}

TEST_F(SyntheticSceneGl, ZeroHeightCountsAsOne)
{
    Register();
    SpaceScene scene(notifier_);
    scene.Initialize(FixedStart(), 160, 0);
    GLdouble p[16];
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    // Aspect = width / 1: p[5] / p[0] is the aspect.
    EXPECT_NEAR(p[5] / p[0], 160.0, 1e-3);

    scene.Resize(160, 120);
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    EXPECT_NEAR(p[5] / p[0], 160.0 / 120.0, 1e-5);
    EXPECT_NEAR(p[5], 1.0 / std::tan(22.5 * M_PI / 180.0), 1e-5);

    scene.Resize(160, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 160);
    EXPECT_EQ(viewport[3], 1);
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    EXPECT_NEAR(p[5] / p[0], 160.0, 1e-3);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    // A frame into a one-pixel-high viewport is harmless.
    scene.DrawFrame();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SyntheticSceneGl, ClockStartsAt7000AndStepsPerFrame)
{
    Register();
    SpaceScene scene(notifier_);
    Start(scene, FixedStart());
    EXPECT_EQ(scene.AnimationTime(), 7000.0);
    scene.DrawFrame();
    EXPECT_EQ(scene.AnimationTime(), 7000.0 + 0.1);
    // The camera was placed for the clock value before the step.
    EXPECT_NEAR(scene.GetCamera().eye.x, 1.603141, 1e-6);
    EXPECT_NEAR(scene.GetCamera().eye.y, 2.338171, 1e-6);
    EXPECT_NEAR(scene.GetCamera().eye.z, 4.264943, 1e-6);
    EXPECT_NEAR(scene.GetCamera().up.x, -0.212243, 1e-6);

    scene.SetAnimationTime(0.0);
    scene.DrawFrame();
    EXPECT_NEAR(scene.GetCamera().eye.z, 4.8, 1e-12);
    EXPECT_NEAR(scene.GetCamera().up.x, 1.0, 1e-12);
}

TEST_F(SyntheticSceneGl, SpeedSettingScalesTheStep)
{
    Register();
    SaverSettings fast = FixedStart();
    fast.AnimationSpeed = 100;
    SpaceScene scene(notifier_);
    Start(scene, fast);
    scene.DrawFrame();
    scene.DrawFrame();
    EXPECT_NEAR(scene.AnimationTime(), 7000.0 + 2 * 0.1 * std::pow(2.0, 1.5), 1e-9);

    SaverSettings broken = FixedStart();
    broken.AnimationSpeed = -7; // hand-edited registry
    SpaceScene slow(notifier_);
    Start(slow, broken);
    slow.DrawFrame();
    EXPECT_NEAR(slow.AnimationTime(), 7000.0 + 0.1 * std::pow(2.0, -1.5), 1e-9);
}

TEST_F(SyntheticSceneGl, RandomStartGivesAnIntegerClock)
{
    Register();
    SaverSettings random;
    random.RandomCameraStart = 1;
    SpaceScene scene(notifier_);
    Start(scene, random);
    const double t = scene.AnimationTime();
    EXPECT_GE(t, 0.0);
    EXPECT_LE(t, 32767.0);
    EXPECT_EQ(t, std::floor(t));
}

TEST_F(SyntheticSceneGl, FixedCameraModesKeepTheDefaultPose)
{
    Register();
    for (int32_t mode : {3, -1}) {
        SaverSettings s = FixedStart();
        s.CamMode = mode;
        SpaceScene scene(notifier_);
        Start(scene, s);
        for (int i = 0; i < 3; ++i)
            scene.DrawFrame();
        const Camera& c = scene.GetCamera();
        EXPECT_EQ(c.eye.x, 1.0) << mode;
        EXPECT_EQ(c.eye.y, 1.0) << mode;
        EXPECT_EQ(c.eye.z, 1.0) << mode;
        EXPECT_EQ(c.target.x, 0.0) << mode;
        EXPECT_EQ(c.up.y, 1.0) << mode;
        // The clock still runs.
        EXPECT_NEAR(scene.AnimationTime(), 7000.3, 1e-9) << mode;
        // And the look-at is applied: the model-view holds the default view.
        GLdouble mv[16];
        GLdouble expected[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glPushMatrix();
        glLoadIdentity();
        gluLookAt(1, 1, 1, 0, 0, 0, 0, 1, 0);
        glGetDoublev(GL_MODELVIEW_MATRIX, expected);
        glPopMatrix();
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(mv[k], expected[k], 1e-4) << mode; // star scale round trip in floats
    }
    for (int32_t mode : {1, 2}) {
        SaverSettings s = FixedStart();
        s.CamMode = mode;
        SpaceScene scene(notifier_);
        Start(scene, s);
        scene.DrawFrame();
        EXPECT_NEAR(scene.GetCamera().eye.x, 1.603141, 1e-6) << mode;
    }
}

} // namespace
} // namespace velmora
