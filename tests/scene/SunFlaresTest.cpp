#include "scene/SunFlares.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "ElementGl.h"

namespace velmora {
namespace {

using test::ElementGl;

TEST(FlareColour, DriftsFromTheRowColourToOrange)
{
    const auto seen = FlareColour(0.2f, 0.8f, 0.6f, 0.0);
    EXPECT_FLOAT_EQ(seen[0], 0.2f);
    EXPECT_FLOAT_EQ(seen[1], 0.8f);
    EXPECT_FLOAT_EQ(seen[2], 0.6f);
    const auto gone = FlareColour(0.2f, 0.8f, 0.6f, 1.0);
    EXPECT_FLOAT_EQ(gone[0], 1.0f);
    EXPECT_FLOAT_EQ(gone[1], 0.5f);
    EXPECT_FLOAT_EQ(gone[2], 0.0f);
    const auto half = FlareColour(0.2f, 0.8f, 0.6f, 0.5);
    EXPECT_FLOAT_EQ(half[0], 0.6f);
    EXPECT_FLOAT_EQ(half[1], 0.65f);
    EXPECT_FLOAT_EQ(half[2], 0.3f);
    // Fully visible, hidden is -1/128: a step away from orange.
    const auto over = FlareColour(0.2f, 0.8f, 0.6f, -1.0 / 128.0);
    EXPECT_LT(over[0], 0.2f);
    EXPECT_GT(over[1], 0.8f);
    EXPECT_GT(over[2], 0.6f);
}

// Synthetic flare images: side x side, texel (x, y) = pattern of x, y and
// the image's index, black along the border.
FlareImages MakeImages(std::array<std::vector<uint8_t>, kFlareImageCount>& store, int side)
{
    FlareImages images;
    for (std::size_t i = 0; i < kFlareImageCount; ++i) {
        store[i].assign(static_cast<std::size_t>(side) * side * 3, 0);
        for (int y = 1; y + 1 < side; ++y)
            for (int x = 1; x + 1 < side; ++x)
                for (int c = 0; c < 3; ++c)
                    store[i][(static_cast<std::size_t>(y) * side + x) * 3 + c]
                        = static_cast<uint8_t>(40 + 7 * x + 13 * y + 29 * c + 3 * static_cast<int>(i));
        images[i] = {store[i].data(), side, side};
    }
    return images;
}

struct GroupingRow {
    const char* what;
    int brokenImage; // 1-based; 0: none
    enum { Fine, NotSquare, Missing, Black } how;
};

class FlareGrouping : public ::testing::TestWithParam<GroupingRow> { };

// Groups hold rows on one point of the axis, each row once, within the size
// limit; a row whose image cannot be summed stays on its own.
TEST_P(FlareGrouping, GroupsOnlyRowsThatCanBeSummed)
{
    const GroupingRow& row = GetParam();
    std::array<std::vector<uint8_t>, kFlareImageCount> store;
    FlareImages images = MakeImages(store, 32);
    if (row.brokenImage > 0) {
        FlareImage& broken = images[static_cast<std::size_t>(row.brokenImage - 1)];
        if (row.how == GroupingRow::NotSquare)
            broken.height = broken.width / 2;
        else if (row.how == GroupingRow::Missing)
            broken = {};
        else
            std::fill(store[static_cast<std::size_t>(row.brokenImage - 1)].begin(),
                store[static_cast<std::size_t>(row.brokenImage - 1)].end(), 0);
    }
    const std::vector<FlareGroup> groups = GroupFlareRows(images);
    EXPECT_FALSE(groups.empty()) << row.what;
    std::vector<int> uses(kFlareSpriteCount, 0);
    for (const FlareGroup& g : groups) {
        ASSERT_GE(g.rows.size(), 2u) << row.what;
        EXPECT_EQ(g.side % 2, 0) << row.what;
        EXPECT_LE(g.side, kMaxFlareCompositeSide) << row.what;
        for (const std::size_t r : g.rows) {
            EXPECT_EQ(kLensFlareTable[r].axisPosition, kLensFlareTable[g.rows[0]].axisPosition) << row.what;
            EXPECT_EQ(++uses[r], 1) << row.what << ", row " << r + 1;
            if (row.how == GroupingRow::NotSquare || row.how == GroupingRow::Missing) {
                EXPECT_NE(kLensFlareTable[r].image, row.brokenImage) << row.what << ", row " << r + 1;
            }
        }
        // Every group can be summed.
        const std::vector<uint8_t> rgb = ComposeFlareGroup(g, images, 0.3, 0.0);
        EXPECT_EQ(rgb.size(), static_cast<std::size_t>(g.side) * g.side * 3) << row.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Images, FlareGrouping,
    ::testing::Values(GroupingRow {"all fine", 0, GroupingRow::Fine},
        GroupingRow {"main glow not square", 4, GroupingRow::NotSquare},
        GroupingRow {"main glow missing", 4, GroupingRow::Missing},
        GroupingRow {"main glow black", 4, GroupingRow::Black}));

// A sum on the grid of its one member's own texels is that member's texels
// at the sprite's colour and alpha: no shift, no transposition.
TEST(FlareSum, OnItsMembersGridReproducesItsTexels)
{
    constexpr int kSide = 16;
    std::array<std::vector<uint8_t>, kFlareImageCount> store;
    const FlareImages images = MakeImages(store, kSide);
    const std::size_t r = 18; // row 19: image 4, half width 6
    const FlareElement& row = kLensFlareTable[r];
    const FlareGroup group {{r}, row.halfWidth, kSide};
    const double fade = 0.3;
    const std::vector<uint8_t> rgb = ComposeFlareGroup(group, images, fade, 0.0);
    ASSERT_EQ(rgb.size(), store[3].size());
    const float colour[3] = {row.r, row.g, row.b};
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        const double expected = row.alphaScale * fade * colour[i % 3] * store[3][i];
        EXPECT_NEAR(rgb[i], expected, 0.5 + 1e-9) << "texel " << i / 3 << ", channel " << i % 3;
    }
}

TEST(SpriteBounds, FlareTexturesAreCutToTheirNonBlackPart)
{
    constexpr int w = 16, h = 8;
    std::vector<uint8_t> rgb(w * h * 3, 0);
    rgb[(3 * w + 5) * 3 + 2] = 9;
    const TextureBounds b = ComputeSpriteBounds(rgb.data(), w, h);
    EXPECT_FLOAT_EQ(b.s0, 4.0f / w);
    EXPECT_FLOAT_EQ(b.s1, 7.0f / w);
    EXPECT_FLOAT_EQ(b.t0, 2.0f / h);
    EXPECT_FLOAT_EQ(b.t1, 5.0f / h);
    // A live texel on the edge does not wrap: the sprites clamp.
    rgb[(0 * w + 15) * 3] = 1;
    const TextureBounds edge = ComputeSpriteBounds(rgb.data(), w, h);
    EXPECT_FLOAT_EQ(edge.s0, 4.0f / w);
    EXPECT_FLOAT_EQ(edge.s1, 1.0f);
    EXPECT_FLOAT_EQ(edge.t0, 0.0f);
}

// Texels of at most one step count as black when a flare is cut; a texel of
// two, in any channel, is kept.
TEST(SpriteBounds, FaintTexelsAreLeftOutOfTheFlarePieces)
{
    constexpr int kSide = 32;
    const auto area = [](const std::vector<TexturePiece>& pieces) {
        double sum = 0.0;
        for (const TexturePiece& p : pieces)
            sum += (p.s1 - p.s0) * (p.t1 - p.t0);
        return sum;
    };
    // A bright core with a faint halo out to the edges.
    std::vector<uint8_t> rgb(kSide * kSide * 3, 1);
    for (int y = 12; y < 20; ++y)
        for (int x = 12; x < 20; ++x)
            rgb[(static_cast<std::size_t>(y) * kSide + x) * 3] = 200;
    const std::vector<TexturePiece> cut = FlarePieces(rgb.data(), kSide, kSide);
    ASSERT_FALSE(cut.empty());
    EXPECT_LT(area(cut), 0.25) << "the halo of ones is left out";
    EXPECT_GT(area(cut), 0.0625) << "the core is kept";
    // The same halo at two in one channel is drawn.
    for (std::size_t i = 1; i < rgb.size(); i += 3)
        rgb[i] = 2;
    EXPECT_GT(area(FlarePieces(rgb.data(), kSide, kSide)), 0.9);
}

class SunFlaresGl : public test::ElementGlSuite<320, 180> {
protected:
    void SetUp() override
    {
        ElementGlSuite::SetUp();
        if (HasFatalFailure())
            return;
        for (std::size_t i = 0; i < kFlareImageCount; ++i) {
            pixels_[i] = ElementGl::TexturePixels(gl_->Textures().flare[i], width_, height_);
            flares_.SetFlareImage(i, pixels_[i].data(), width_, height_);
            images_[i] = {pixels_[i].data(), width_, height_};
        }
        flares_.PrepareMergedSprites(images_, names_);
    }

    // A view from eye towards a point off the Sun by (dx, dy) in the view's
    // right and up directions, with an optional body in front.
    static void LookTowardsSun(const Vec3& eye, const Vec3& target)
    {
        gl_->BeginView(eye, target, Vec3 {0.0, 0.0, 1.0});
        SunFlares::DrawSun(kSunPosition);
    }

    static Vec3 Along(const Vec3& from, const Vec3& to, double k)
    {
        return {from.x + (to.x - from.x) * k, from.y + (to.y - from.y) * k, from.z + (to.z - from.z) * k};
    }

    std::array<std::vector<uint8_t>, kFlareImageCount> pixels_;
    FlareImages images_;
    GlTextureNames names_;
    SunFlares flares_;
    GLint width_ = 0;
    GLint height_ = 0;
};

const Vec3 kEye {10.0, 10.0, 2.0};

TEST_F(SunFlaresGl, SunInViewGivesFullFadeAndDrawsFlares)
{
    LookTowardsSun(kEye, kSunPosition);
    const std::vector<uint8_t> before = gl_->Frame();
    const SunVisibility vis = flares_.DrawLensFlares(kSunPosition, gl_->Textures());
    ASSERT_TRUE(vis.projected);
    EXPECT_NEAR(vis.nx, 0.0, 1e-6);
    EXPECT_NEAR(vis.ny, 0.0, 1e-6);
    EXPECT_EQ(vis.onScreenSamples, 129);
    EXPECT_DOUBLE_EQ(vis.hidden, -1.0 / 128.0);
    EXPECT_NEAR(vis.Fade(), 0.3023, 5e-5);
    EXPECT_GT(ElementGl::CountDiffering(before, gl_->Frame()), 2000u);
}

TEST_F(SunFlaresGl, SunBehindTheCameraDrawsNothing)
{
    const Vec3 away {kEye.x - (kSunPosition.x - kEye.x), kEye.y - (kSunPosition.y - kEye.y), kEye.z};
    LookTowardsSun(kEye, away);
    const std::vector<uint8_t> before = gl_->Frame();
    const SunVisibility vis = flares_.DrawLensFlares(kSunPosition, gl_->Textures());
    EXPECT_FALSE(vis.projected);
    EXPECT_EQ(ElementGl::CountDiffering(before, gl_->Frame()), 0u);
}

TEST_F(SunFlaresGl, SunOffScreenDrawsNothing)
{
    // Turn the view until the Sun lies just beyond the left edge.
    const Vec3 toSun = kSunPosition - kEye;
    const double yaw = std::atan2(toSun.y, toSun.x);
    const double turn = 0.70; // radians; the view's half width is 0.636
    const Vec3 target {
        kEye.x + std::cos(yaw - turn), kEye.y + std::sin(yaw - turn), kEye.z + toSun.z / Length(toSun)};
    LookTowardsSun(kEye, target);
    const std::vector<uint8_t> before = gl_->Frame();
    const SunVisibility vis = flares_.DrawLensFlares(kSunPosition, gl_->Textures());
    ASSERT_TRUE(vis.projected);
    EXPECT_LT(vis.nx, -1.03);
    EXPECT_EQ(vis.onScreenSamples, 0);
    EXPECT_EQ(vis.Fade(), 0.0);
    EXPECT_EQ(ElementGl::CountDiffering(before, gl_->Frame()), 0u);
}

TEST_F(SunFlaresGl, SunHiddenBehindThePlanetDrawsNothing)
{
    // The camera on the far side of the planet from the Sun.
    const Vec3 eye = Along(kSunPosition, Vec3 {0.0, 0.0, 0.0}, 1.01);
    LookTowardsSun(eye, kSunPosition);
    ElementGl::DrawPlainSphere(Vec3 {0.0, 0.0, 0.0}, 1.0, 0.4f);
    const std::vector<uint8_t> before = gl_->Frame();
    const SunVisibility vis = flares_.DrawLensFlares(kSunPosition, gl_->Textures());
    ASSERT_TRUE(vis.projected);
    EXPECT_EQ(vis.onScreenSamples, 129);
    EXPECT_DOUBLE_EQ(vis.hidden, 1.0);
    EXPECT_EQ(ElementGl::CountDiffering(before, gl_->Frame()), 0u);
}

TEST_F(SunFlaresGl, PartlyHiddenSunShrinksAndFadesTheFlares)
{
    // A body covering part of the sample ring.
    const Vec3 eye = Along(kSunPosition, Vec3 {0.0, 0.0, 0.0}, 1.01);
    LookTowardsSun(eye, kSunPosition);
    ElementGl::DrawPlainSphere(Vec3 {0.0, 0.0, 0.0}, 1.0, 0.4f);
    // Aim the Sun at the planet's limb by shifting the body sideways.
    LookTowardsSun(eye, kSunPosition);
    const Vec3 side = Normalized(Vec3 {-(kSunPosition.y), kSunPosition.x, 0.0});
    ElementGl::DrawPlainSphere(Vec3 {side.x * 1.02, side.y * 1.02, 0.0}, 1.0, 0.4f);
    const SunVisibility blocks = MeasureSunVisibility(kSunPosition, DepthReadMode::OneBlock);
    const SunVisibility pixels = MeasureSunVisibility(kSunPosition, DepthReadMode::OnePixelEach);
    EXPECT_GT(blocks.hidden, 0.1);
    EXPECT_LT(blocks.hidden, 0.9);
    EXPECT_EQ(blocks.hidden, pixels.hidden);
    EXPECT_EQ(blocks.onScreenSamples, pixels.onScreenSamples);
}

TEST_F(SunFlaresGl, BlockAndPixelReadsAgreeNearTheScreenEdges)
{
    const Vec3 toSun = kSunPosition - kEye;
    const double yaw = std::atan2(toSun.y, toSun.x);
    const Vec3 left = Normalized(Vec3 {-std::sin(yaw), std::cos(yaw), 0.0});
    // Sweep the Sun across the left edge and over a body's limb.
    int partlyOnScreen = 0;
    for (const double turn : {0.55, 0.62, 0.625, 0.63, 0.635, 0.64, 0.645, 0.65, 0.66}) {
        const Vec3 target {
            kEye.x + std::cos(yaw + turn), kEye.y + std::sin(yaw + turn), kEye.z + toSun.z / Length(toSun)};
        LookTowardsSun(kEye, target);
        ElementGl::DrawPlainSphere(Along(kEye, kSunPosition, 0.01), 0.05, 0.3f);
        ElementGl::DrawPlainSphere(Vec3 {kEye.x + 5.0 * left.x + 20.0 * toSun.x / Length(toSun),
                                       kEye.y + 5.0 * left.y + 20.0 * toSun.y / Length(toSun), kEye.z + 1.0},
            4.0, 0.3f);
        const SunVisibility a = MeasureSunVisibility(kSunPosition, DepthReadMode::OneBlock);
        partlyOnScreen += (a.onScreenSamples > 0 && a.onScreenSamples < kOcclusionSampleCount) ? 1 : 0;
        const SunVisibility b = MeasureSunVisibility(kSunPosition, DepthReadMode::OnePixelEach);
        EXPECT_EQ(a.projected, b.projected) << turn;
        EXPECT_EQ(a.hidden, b.hidden) << turn;
        EXPECT_EQ(a.onScreenSamples, b.onScreenSamples) << turn;
    }
    EXPECT_GE(partlyOnScreen, 3);
}

TEST_F(SunFlaresGl, CutSpriteMatchesTheWholeSprite)
{
    glMatrixMode(GL_MODELVIEW);
    for (std::size_t image = 0; image < 6; ++image) {
        const std::span<const TexturePiece> pieces = flares_.Pieces(image);
        const auto draw = [&](std::span<const TexturePiece> p) {
            gl_->BeginView(kEye, kSunPosition, Vec3 {0.0, 0.0, 1.0});
            DrawScreenSprite(
                0.1, -0.2, 0.37, 0.8, 0.9, 0.9, gl_->Textures().flare[image], 1.0f, 0.9f, 0.8f, p);
            return gl_->Frame();
        };
        const std::vector<uint8_t> whole = draw(std::span<const TexturePiece>(&kWholeTexture, 1));
        const std::vector<uint8_t> cut = draw(pieces);
        // The faint texels left out add at most one step, over a small part
        // of the frame.
        EXPECT_EQ(ElementGl::CountDiffering(whole, cut, 1), 0u) << "flare" << image + 1;
        EXPECT_LE(ElementGl::CountDiffering(whole, cut, 0), whole.size() / 3 / 100) << "flare" << image + 1;
    }
}

TEST_F(SunFlaresGl, ShippedGlowsAroundTheSunAreMerged)
{
    // Rows 17, 19 and 27: the glows that each cover most of the screen.
    const std::vector<FlareGroup> groups = GroupFlareRows(images_);
    const auto largest = std::find_if(groups.begin(), groups.end(),
        [](const FlareGroup& g) { return std::find(g.rows.begin(), g.rows.end(), 18u) != g.rows.end(); });
    ASSERT_NE(largest, groups.end());
    EXPECT_EQ(largest->rows, (std::vector<std::size_t> {16, 18, 26}));
    EXPECT_EQ(flares_.MergedGroupCount(), groups.size());
    // No row drawn twice.
    std::vector<int> uses(kFlareSpriteCount, 0);
    for (const FlareGroup& g : groups) {
        EXPECT_GE(g.rows.size(), 2u);
        EXPECT_LE(g.side, kMaxFlareCompositeSide);
        for (const std::size_t r : g.rows) {
            ASSERT_LT(r, kFlareSpriteCount);
            EXPECT_EQ(++uses[r], 1) << "row " << r + 1;
        }
    }
}

struct MergeView {
    const char* what;
    double turn; // radians the view turns left of the Sun
    bool partlyHidden; // a planet's limb over part of the sample ring
};

class SunFlaresMerged : public SunFlaresGl, public ::testing::WithParamInterface<MergeView> { };

// Sprites sharing a centre drawn as one quad of their sum add what they add
// one by one, up to rounding; with the Sun partly hidden nothing is merged.
TEST_P(SunFlaresMerged, AddsWhatTheSeparateSpritesAdd)
{
    const MergeView& view = GetParam();
    const Vec3 toSun = kSunPosition - kEye;
    const double yaw = std::atan2(toSun.y, toSun.x) + view.turn;
    const Vec3 target {kEye.x + std::cos(yaw), kEye.y + std::sin(yaw), kEye.z + toSun.z / Length(toSun)};
    const auto draw = [&](bool merged) {
        if (view.partlyHidden) {
            // The planet's limb across the sample ring, as seen from beyond it.
            LookTowardsSun(Along(kSunPosition, Vec3 {0.0, 0.0, 0.0}, 1.01), kSunPosition);
            const Vec3 side = Normalized(Vec3 {-(kSunPosition.y), kSunPosition.x, 0.0});
            ElementGl::DrawPlainSphere(Vec3 {side.x * 1.02, side.y * 1.02, 0.0}, 1.0, 0.4f);
        } else {
            LookTowardsSun(kEye, target);
        }
        flares_.SetMergedSprites(merged);
        const SunVisibility vis = flares_.DrawLensFlares(kSunPosition, gl_->Textures());
        EXPECT_EQ(vis.hidden > 0.0, view.partlyHidden) << view.what << " " << vis.hidden;
        return gl_->Frame();
    };
    const std::vector<uint8_t> separate = draw(false);
    const std::vector<uint8_t> merged = draw(true);
    flares_.SetMergedSprites(true);
    if (view.partlyHidden) {
        EXPECT_EQ(ElementGl::CountDiffering(separate, merged, 0), 0u) << view.what;
        return;
    }
    const std::size_t pixels = separate.size() / 3;
    // Up to five sprites' roundings: mostly 0 or 1, rarely up to 5.
    EXPECT_EQ(ElementGl::CountDiffering(separate, merged, 5), 0u) << view.what;
    EXPECT_LE(ElementGl::CountDiffering(separate, merged, 1), pixels / 25) << view.what;
    // Rounding once instead of per sprite moves some pixels: the merge ran.
    EXPECT_GT(ElementGl::CountDiffering(separate, merged, 0), 0u) << view.what;
}

INSTANTIATE_TEST_SUITE_P(Views, SunFlaresMerged,
    ::testing::Values(MergeView {"centred", 0.0, false}, MergeView {"off centre", 0.35, false},
        MergeView {"near the edge", 0.6, false}, MergeView {"partly hidden", 0.0, true}));

TEST_F(SunFlaresGl, ShippedMainGlowIsCutWellInsideItsSquare)
{
    // The glow is drawn up to several screens wide, so how far its quads
    // reach matters; the art ends it at black by r = 0.68, and the decoded
    // JPEG must keep the blocks beyond that exactly black.
    glBindTexture(GL_TEXTURE_2D, gl_->Textures().flare[3]);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    std::vector<uint8_t> rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    const TextureBounds b = ComputeSpriteBounds(rgb.data(), w, h);
    EXPECT_FALSE(b.empty);
    for (const float low : {b.s0, b.t0}) {
        EXPECT_GE(low, 0.11f);
        EXPECT_LT(low, 0.25f) << "the glow itself is kept";
    }
    for (const float high : {b.s1, b.t1}) {
        EXPECT_LE(high, 0.89f);
        EXPECT_GT(high, 0.75f) << "the glow itself is kept";
    }
}

TEST_F(SunFlaresGl, SunMovesTheLightAndWritesNoDepth)
{
    gl_->BeginView(kEye, kSunPosition, Vec3 {0.0, 0.0, 1.0});
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    SunFlares::DrawSun(kSunPosition);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));

    const auto w = ElementGl::Project(kSunPosition);
    const test::Rgba px = ElementGl::Pixel(w.Px(), w.Py());
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 255);
    EXPECT_EQ(px[2], 255);
    EXPECT_EQ(ElementGl::Depth(w.Px(), w.Py()), 1.0f);

    // The light position is stored in eye coordinates: the Sun seen through
    // the camera.
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    GLdouble mv[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    const Vec3& s = kSunPosition;
    EXPECT_NEAR(light[0], mv[0] * s.x + mv[4] * s.y + mv[8] * s.z + mv[12], 1e-2);
    EXPECT_NEAR(light[1], mv[1] * s.x + mv[5] * s.y + mv[9] * s.z + mv[13], 1e-2);
    EXPECT_NEAR(light[2], mv[2] * s.x + mv[6] * s.y + mv[10] * s.z + mv[14], 1e-2);
    EXPECT_FLOAT_EQ(light[3], 1.0f);
}

} // namespace
} // namespace velmora
