#include "scene/Rings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ElementGl.h"
#include "PassStateCheck.h"

namespace velmora {
namespace {

using test::ElementGl;

constexpr int kWidth = 320;
constexpr int kHeight = 240;

class RingsTest : public test::ElementGlSuite<kWidth, kHeight> {
protected:
    // Everything the ring pass does before its colour passes, so a frame of
    // it can be compared with the full pass.
    void ShadowOnly()
    {
        glDisable(GL_LIGHTING);
        rings_.DrawRingShadowOnPlanet(gl_->Textures().ringsShadow);
        glEnable(GL_LIGHTING);
    }

    // The view, with every pixel drawn from now on marked as the frame marks
    // the background before the rings.
    void View(const Vec3& eye, const Vec3& target, const Vec3& up, float grey = 0.0f)
    {
        gl_->BeginView(eye, target, up, grey);
        BeginBackgroundMarking();
    }
    // The ring pass the way the frame calls it.
    void DrawRingsAsTheFrame(RingSystem& rings, double t)
    {
        rings.DrawRings(gl_->Textures(), t, /*backgroundMarked=*/true);
    }
    void DrawRingsAsTheFrame(double t) { DrawRingsAsTheFrame(rings_, t); }
    // Whether the ring pass marked the pixel as a visible ring pixel.
    static bool RingMarked(const test::WindowPoint& w)
    {
        return (ElementGl::Stencil(w.Px(), w.Py()) & kRingStencilMark) != 0;
    }

    RingSystem rings_;
};

const Vec3 kAbove {0.0, 0.0, 8.0};
const Vec3 kOrigin {0.0, 0.0, 0.0};
const Vec3 kUpY {0.0, 1.0, 0.0};
const Vec3 kUpZ {0.0, 0.0, 1.0};

TEST_F(RingsTest, PlanetHidesTheFarRingAndTheNearRingIsColoured)
{
    const Vec3 eye {0.0, -8.0, 1.0};
    const Vec3 farRing {0.0, 1.8, 0.0}; // behind the planet from this eye
    const Vec3 nearRing {0.0, -1.8, 0.0}; // in front of the planet
    const Vec3 sideRing {1.8, 0.0, 0.0}; // beside the planet, over empty sky

    View(eye, kOrigin, kUpZ);
    ElementGl::DrawPlainSphere(kOrigin, 1.0, 0.5f);
    ShadowOnly();
    const auto far = ElementGl::Project(farRing);
    const auto near = ElementGl::Project(nearRing);
    const auto side = ElementGl::Project(sideRing);
    const test::Rgba farBefore = ElementGl::Pixel(far.Px(), far.Py());
    const test::Rgba nearBefore = ElementGl::Pixel(near.Px(), near.Py());
    const test::Rgba sideBefore = ElementGl::Pixel(side.Px(), side.Py());
    ASSERT_GT(farBefore[0], 0) << "the far ring point must project onto the planet";
    ASSERT_EQ(sideBefore[0] + sideBefore[1] + sideBefore[2], 0) << "the side point must lie over the sky";

    View(eye, kOrigin, kUpZ);
    ElementGl::DrawPlainSphere(kOrigin, 1.0, 0.5f);
    DrawRingsAsTheFrame(0.0);

    EXPECT_EQ(ElementGl::Pixel(far.Px(), far.Py()), farBefore);
    EXPECT_FALSE(RingMarked(far));

    EXPECT_NE(ElementGl::Pixel(near.Px(), near.Py()), nearBefore);
    EXPECT_TRUE(RingMarked(near));

    const test::Rgba side1 = ElementGl::Pixel(side.Px(), side.Py());
    EXPECT_GT(side1[0] + side1[1] + side1[2], 30) << "a ring over the sky shows the ring colour";
    EXPECT_TRUE(RingMarked(side));
}

TEST_F(RingsTest, OverlaysTouchOnlyMarkedRingPixels)
{
    View(kAbove, kOrigin, kUpY, 0.5f);
    ShadowOnly();
    const std::vector<uint8_t> before = gl_->Frame();

    View(kAbove, kOrigin, kUpY, 0.5f);
    DrawRingsAsTheFrame(0.0);
    const std::vector<uint8_t> after = gl_->Frame();
    const std::vector<uint8_t> stencil = gl_->StencilFrame();

    std::size_t marked = 0, changedUnmarked = 0, changedMarked = 0;
    for (std::size_t i = 0; i < stencil.size(); ++i) {
        const bool changed = before[3 * i] != after[3 * i] || before[3 * i + 1] != after[3 * i + 1]
            || before[3 * i + 2] != after[3 * i + 2];
        if ((stencil[i] & kRingStencilMark) != 0) {
            ++marked;
            changedMarked += changed ? 1 : 0;
        } else {
            changedUnmarked += changed ? 1 : 0;
        }
    }
    EXPECT_GT(marked, 1000u);
    EXPECT_GT(changedMarked, marked / 2);
    EXPECT_EQ(changedUnmarked, 0u);

    // Inside the overlay squares but off the rings: the corner of the turning
    // squares, a point of the turned shadow square, and the gap between the
    // planet and the inner edge.
    for (const Vec3& p : {Vec3 {2.2, 2.2, 0.0}, Vec3 {2.9, 0.2, 0.0}, Vec3 {1.12, 0.0, 0.0}}) {
        const auto w = ElementGl::Project(p);
        const test::Rgba px = ElementGl::Pixel(w.Px(), w.Py());
        EXPECT_EQ(px[0], 128) << p.x << "," << p.y;
        EXPECT_FALSE(RingMarked(w));
    }
}

TEST_F(RingsTest, AnnulusSpansTheRingRadii)
{
    View(kAbove, kOrigin, kUpY);
    DrawRingsAsTheFrame(0.0);
    for (const double angle : {0.0, 0.7, 2.0, 4.4}) {
        const auto at = [&](double r) {
            return RingMarked(ElementGl::Project(Vec3 {r * std::cos(angle), r * std::sin(angle), 0.0}));
        };
        EXPECT_FALSE(at(1.18)) << angle;
        EXPECT_TRUE(at(1.29)) << angle;
        EXPECT_TRUE(at(2.27)) << angle;
        EXPECT_FALSE(at(2.38)) << angle;
    }
}

TEST_F(RingsTest, SeenFromBelowTheRingsStillDraw)
{
    View(Vec3 {0.0, 0.0, -8.0}, kOrigin, kUpY);
    DrawRingsAsTheFrame(0.0);
    EXPECT_TRUE(RingMarked(ElementGl::Project(Vec3 {1.8, 0.0, 0.0})));
}

TEST_F(RingsTest, EdgeOnViewDrawsNoRingAndNoOverlay)
{
    const Vec3 eye {0.0, -8.0, 0.0};
    View(eye, kOrigin, kUpZ, 0.5f);
    ShadowOnly();
    const std::vector<uint8_t> before = gl_->Frame();

    View(eye, kOrigin, kUpZ, 0.5f);
    DrawRingsAsTheFrame(123.0);
    EXPECT_EQ(ElementGl::CountDiffering(before, gl_->Frame()), 0u);
    const std::vector<uint8_t> stencil = gl_->StencilFrame();
    std::size_t marked = 0;
    for (const uint8_t s : stencil) {
        marked += (s & kRingStencilMark) != 0 ? 1 : 0;
    }
    EXPECT_EQ(marked, 0u);
}

TEST_F(RingsTest, ShadowOnPlanetDarkensOnlyThePlanetSide)
{
    // Looking down the Sun's horizontal direction onto the dome.
    const Vec3 eye {6.0, 6.0, 0.5};
    View(eye, kOrigin, kUpZ, 1.0f);
    const std::vector<uint8_t> clear = gl_->Frame();
    ShadowOnly();
    const std::vector<uint8_t> shaded = gl_->Frame();
    const auto outside = ElementGl::Project(Vec3 {-1.2, 1.2, 0.0});
    const std::size_t changed = ElementGl::CountDiffering(clear, shaded);
    EXPECT_GT(changed, 100u) << "the ring shadow texture darkens part of the dome";
    EXPECT_EQ(ElementGl::Pixel(outside.Px(), outside.Py())[0], 255) << "nothing beyond the planet's radius";
    // Multiplying can only darken.
    for (std::size_t i = 0; i < clear.size(); ++i) {
        ASSERT_LE(shaded[i], clear[i]);
    }
}

TEST_F(RingsTest, PassKeepsItsDeclaredStateContract)
{
    View(Vec3 {3.0, -6.0, 2.0}, kOrigin, kUpZ);
    ElementGl::DrawPlainSphere(kOrigin, 1.0, 0.5f);
    glColor4f(0.3f, 0.3f, 0.3f, 0.3f);
    const test::GlSnapshot in = test::GlSnapshot::Take();
    DrawRingsAsTheFrame(4321.0);
    const test::GlSnapshot out = test::GlSnapshot::Take();
    for (const std::string& m : test::StateMismatches(kRingPass.entry, in, gl_->Textures()))
        ADD_FAILURE() << "entry: " << m;
    for (const std::string& m : test::StateMismatches(kRingPass.exit, out, gl_->Textures()))
        ADD_FAILURE() << "exit: " << m;
    for (const std::string& m : test::MatrixMismatches(kRingPass.modelView, in, out))
        ADD_FAILURE() << m;
}

TEST_F(RingsTest, CutOverlaysAndRingShadowChangeNoPixel)
{
    RingSystem cut;
    const SceneTextures& tex = gl_->Textures();
    for (const auto& [slot, name] : {std::pair {TextureSlot::SpotsWhite, tex.spotsWhite},
             std::pair {TextureSlot::SpotsBlack, tex.spotsBlack},
             std::pair {TextureSlot::ShadowOnRing, tex.shadowOnRing},
             std::pair {TextureSlot::RingsShadow, tex.ringsShadow}}) {
        int w = 0, h = 0;
        const std::vector<uint8_t> rgb = ElementGl::TexturePixels(name, w, h);
        cut.SetOverlayImage(slot, rgb.data(), w, h);
    }
    // The planet's shadow is a band: most of its square is white.
    float area = 0.0f;
    for (const TexturePiece& p : cut.OverlayPieces(TextureSlot::ShadowOnRing)) {
        area += (p.s1 - p.s0) * (p.t1 - p.t0);
    }
    EXPECT_GT(area, 0.05f);
    EXPECT_LT(area, 0.5f);

    // Above, beside, below, over the pole, and facing the ring shadow's dome.
    const Vec3 eyes[]
        = {{0.0, -6.0, 2.5}, {-4.0, -4.0, 1.0}, {3.0, -1.0, -4.0}, {0.5, 0.5, 7.0}, {5.0, 4.0, -1.5}};
    for (const Vec3& eye : eyes) {
        for (const double t : {0.0, 777.7}) {
            // The planet stand-in is marked as the frame's planet is (a
            // little larger, so its facets cover the whole dome), so only the
            // pieces differ between the two.
            View(eye, kOrigin, kUpZ, 0.3f);
            ElementGl::DrawPlainSphere(kOrigin, 1.02, 0.5f);
            DrawRingsAsTheFrame(t);
            const std::vector<uint8_t> whole = gl_->Frame();
            View(eye, kOrigin, kUpZ, 0.3f);
            ElementGl::DrawPlainSphere(kOrigin, 1.02, 0.5f);
            DrawRingsAsTheFrame(cut, t);
            const std::vector<uint8_t> cutFrame = gl_->Frame();
            // Smaller triangles interpolate the same texture coordinates with
            // other rounding; three stacked layers may move a rare pixel by 2.
            EXPECT_EQ(ElementGl::CountDiffering(whole, cutFrame, 2), 0u)
                << eye.x << "," << eye.y << "," << eye.z;
            EXPECT_LE(ElementGl::CountDiffering(whole, cutFrame, 0), whole.size() / 3 / 2000)
                << eye.x << "," << eye.y << "," << eye.z;
        }
    }
}

TEST_F(RingsTest, MaskPassSkippingUnmarkedBlackSkyGivesTheSameFrame)
{
    // A grey planet and a few bright points on black sky, drawn either
    // plainly or with every written pixel marked, as the frame does.
    const auto background = [](bool mark) {
        if (mark)
            BeginBackgroundMarking();
        ElementGl::DrawPlainSphere(kOrigin, 1.0, 0.6f);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glPointSize(3.0f);
        glBegin(GL_POINTS);
        for (int i = 0; i < 40; ++i) {
            const double a = i * 0.157;
            glColor3d(0.9, 0.8, 0.7);
            glVertex3d(1.8 * std::cos(a), 1.8 * std::sin(a), 0.05 * (i % 3));
        }
        glEnd();
        glPointSize(1.0f);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_LIGHTING);
        glColor3d(1.0, 1.0, 1.0);
    };
    const Vec3 eyes[] = {{0.0, -6.0, 2.5}, {-4.0, -4.0, 1.0}, {3.0, -1.0, -4.0}, {0.5, 0.5, 7.0}};
    for (const Vec3& eye : eyes) {
        for (const double t : {0.0, 321.0}) {
            gl_->BeginView(eye, kOrigin, kUpZ);
            background(false);
            rings_.DrawRings(gl_->Textures(), t, /*backgroundMarked=*/false);
            const std::vector<uint8_t> plain = gl_->Frame();

            gl_->BeginView(eye, kOrigin, kUpZ);
            background(true);
            rings_.DrawRings(gl_->Textures(), t, /*backgroundMarked=*/true);
            const std::vector<uint8_t> skipping = gl_->Frame();
            EXPECT_EQ(ElementGl::CountDiffering(plain, skipping, 0), 0u)
                << eye.x << "," << eye.y << "," << eye.z;

            // The ring marks are whole again and the write mask restored for
            // the next frame's clear.
            EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
            GLint writeMask = 0;
            glGetIntegerv(GL_STENCIL_WRITEMASK, &writeMask);
            EXPECT_EQ(writeMask & 0xff, 0xff);
            const auto ring = ElementGl::Project(Vec3 {-1.8, -0.4, 0.0});
            EXPECT_EQ(ElementGl::Stencil(ring.Px(), ring.Py()) & kRingStencilMark, kRingStencilMark);
        }
    }
}

// A ring system given the program's own pictures, so it can take the
// one-pass colour and patterns.
void FeedPictures(RingSystem& rings, const SceneTextures& tex)
{
    for (const auto& [slot, name] :
        {std::pair {TextureSlot::Rings, tex.rings}, std::pair {TextureSlot::RingsMask, tex.ringsMask},
            std::pair {TextureSlot::SpotsWhite, tex.spotsWhite},
            std::pair {TextureSlot::SpotsBlack, tex.spotsBlack}}) {
        int w = 0, h = 0;
        const std::vector<uint8_t> rgb = ElementGl::TexturePixels(name, w, h);
        rings.SetOverlayImage(slot, rgb.data(), w, h);
    }
}

struct MergeRow {
    const char* what;
    RingPaths separate;
    RingPaths merged;
    // Largest channel difference rounding may make.
    int tolerance;
};

class RingsMergeTest : public RingsTest, public ::testing::WithParamInterface<MergeRow> { };

// Each faster path draws what its separate passes draw, up to rounding, and
// marks the same ring pixels.
TEST_P(RingsMergeTest, MatchesTheSeparatePassesUpToRounding)
{
    const MergeRow& row = GetParam();
    GlTextureNames names;
    RingSystem rings;
    FeedPictures(rings, gl_->Textures());
    rings.PrepareGl(names);
    ASSERT_TRUE(rings.Paths().oneColourPass) << "the shipped mask is grey and of the colour's size";
    ASSERT_TRUE(rings.Paths().onePatternPass) << "the shipped patterns load as greys";
    ASSERT_TRUE(rings.Paths().patternsInColourPass) << "the context has three units";
    EXPECT_EQ(names.Count(), 3u);

    // Each path drawn as the frame draws it: background marks only for a
    // separate mask pass.
    const auto draw = [&](const RingPaths& paths, const Vec3& eye, double t) {
        rings.UsePaths(paths);
        EXPECT_EQ(rings.Paths().oneColourPass, paths.oneColourPass);
        EXPECT_EQ(rings.Paths().onePatternPass, paths.onePatternPass);
        EXPECT_EQ(rings.Paths().patternsInColourPass, paths.patternsInColourPass);
        gl_->BeginView(eye, kOrigin, kUpZ);
        if (!paths.oneColourPass)
            BeginBackgroundMarking();
        ElementGl::DrawPlainSphere(kOrigin, 1.0, 0.6f);
        rings.DrawRings(gl_->Textures(), t, /*backgroundMarked=*/!paths.oneColourPass);
        EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    };
    const Vec3 eyes[] = {{0.0, -6.0, 2.5}, {-4.0, -4.0, 1.0}, {3.0, -1.0, -4.0}, {0.5, 0.5, 7.0}};
    const double times[] = {42.0, 7000.0, 7000.0, 1234.5};
    for (std::size_t i = 0; i < std::size(eyes); ++i) {
        const std::string where = std::to_string(i);
        draw(row.separate, eyes[i], times[i]);
        const std::vector<uint8_t> separate = gl_->Frame();
        const std::vector<uint8_t> separateMarks = gl_->StencilFrame();
        draw(row.merged, eyes[i], times[i]);
        const std::vector<uint8_t> merged = gl_->Frame();
        const std::vector<uint8_t> mergedMarks = gl_->StencilFrame();

        EXPECT_EQ(ElementGl::CountDiffering(separate, merged, row.tolerance), 0u)
            << row.what << ", eye " << where;
        // The same ring pixels are marked (a separate mask pass also leaves
        // background marks outside the rings).
        std::size_t marked = 0;
        std::size_t markedDifferently = 0;
        for (std::size_t p = 0; p < mergedMarks.size(); ++p) {
            marked += (mergedMarks[p] & kRingStencilMark) != 0 ? 1 : 0;
            markedDifferently
                += (mergedMarks[p] & kRingStencilMark) != (separateMarks[p] & kRingStencilMark) ? 1 : 0;
        }
        EXPECT_GT(marked, 1000u) << row.what;
        EXPECT_EQ(markedDifferently, 0u) << row.what;
    }
}

// The colour: 0.6 c + 0.1 c rounded twice against 0.7 c rounded once, under
// the overlays. The patterns: both patterns' colour is left out (the shipped
// ones are grey to within a few steps). Patterns on the colour pass: one
// rounding instead of two.
INSTANTIATE_TEST_SUITE_P(Paths, RingsMergeTest,
    ::testing::Values(MergeRow {"colour", RingPaths {}, RingPaths {.oneColourPass = true}, 3},
        MergeRow {"patterns", RingPaths {.oneColourPass = true},
            RingPaths {.oneColourPass = true, .onePatternPass = true}, 4},
        MergeRow {"patterns on the colour pass", RingPaths {.oneColourPass = true, .onePatternPass = true},
            RingPaths {.oneColourPass = true, .onePatternPass = true, .patternsInColourPass = true}, 2}));

struct MaskRow {
    const char* what;
    int maskWidth;
    int maskHeight;
    bool grey;
    bool takesOnePass;
};

class RingsMaskTest : public RingsTest, public ::testing::WithParamInterface<MaskRow> { };

// The mask becomes the colour texture's alpha only when it can stand for the
// mask exactly; otherwise the separate passes draw.
TEST_P(RingsMaskTest, OneColourPassOnlyForAGreyMaskOfTheColourSize)
{
    const MaskRow& row = GetParam();
    constexpr int kColourWidth = 8;
    constexpr int kColourHeight = 2;
    // The first row differs from the last, which the annulus also reads.
    std::vector<uint8_t> colour(kColourWidth * kColourHeight * 3, 200);
    std::fill(colour.end() - kColourWidth * 3, colour.end(), 101);
    std::vector<uint8_t> mask(static_cast<std::size_t>(row.maskWidth) * row.maskHeight * 3, 90);
    std::fill(mask.end() - row.maskWidth * 3, mask.end(), 31);
    if (!row.grey)
        mask[mask.size() - 2] = 32; // one green channel off
    GlTextureNames names;
    RingSystem rings;
    rings.SetOverlayImage(TextureSlot::Rings, colour.data(), kColourWidth, kColourHeight);
    rings.SetOverlayImage(TextureSlot::RingsMask, mask.data(), row.maskWidth, row.maskHeight);
    rings.PrepareGl(names);
    EXPECT_EQ(rings.Paths().oneColourPass, row.takesOnePass) << row.what;
    EXPECT_EQ(names.Count(), row.takesOnePass ? 1u : 0u) << row.what;
    // Asking for it cannot turn on what the pictures do not allow.
    rings.UsePaths(RingPaths {.oneColourPass = true});
    EXPECT_EQ(rings.Paths().oneColourPass, row.takesOnePass) << row.what;
    if (row.takesOnePass) {
        // One row: the colour with the mask as alpha, each the mean of the
        // first and the last row, as the filter reads them at t = 0.
        glBindTexture(GL_TEXTURE_1D, names.Last());
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &width);
        ASSERT_EQ(width, kColourWidth);
        std::vector<uint8_t> rgba(kColourWidth * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindTexture(GL_TEXTURE_1D, 0);
        EXPECT_EQ(rgba[0], 151);
        EXPECT_EQ(rgba[3], 61);
        EXPECT_EQ(rgba[rgba.size() - 1], 61);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RingsMaskTest,
    ::testing::Values(MaskRow {"grey, same size", 8, 2, true, true}, MaskRow {"not grey", 8, 2, false, false},
        MaskRow {"narrower", 4, 2, true, false}, MaskRow {"taller", 8, 4, true, false}));

struct PatternRow {
    const char* what;
    uint8_t light[3];
    uint8_t dark;
};

class RingsPatternTest : public RingsTest, public ::testing::WithParamInterface<PatternRow> { };

// Whatever the patterns hold, the one pass gives what the two passes give
// over a plain grey (grey x light + 0.9 dark), the light pattern's tint left
// out.
TEST_P(RingsPatternTest, OnePassGivesWhatTheTwoPassesGive)
{
    const PatternRow& row = GetParam();
    constexpr int kSide = 4;
    std::vector<uint8_t> light(kSide * kSide * 3);
    for (std::size_t i = 0; i < light.size(); ++i)
        light[i] = row.light[i % 3];
    std::vector<uint8_t> dark(kSide * kSide * 3, row.dark);
    GlTextureNames names;
    RingSystem rings;
    rings.SetOverlayImage(TextureSlot::SpotsWhite, light.data(), kSide, kSide);
    rings.SetOverlayImage(TextureSlot::SpotsBlack, dark.data(), kSide, kSide);
    rings.PrepareGl(names);
    ASSERT_TRUE(rings.Paths().onePatternPass) << row.what;
    EXPECT_EQ(names.Count(), 2u) << row.what;

    // The separate passes sample the pictures as they load; the planet's
    // shadow is left white.
    SceneTextures tex;
    GlTextureNames pictures;
    for (auto [slot, rgb] :
        {std::pair {TextureSlot::SpotsWhite, &light}, std::pair {TextureSlot::SpotsBlack, &dark}}) {
        tex[slot] = pictures.Generate();
        glBindTexture(GL_TEXTURE_2D, tex[slot]);
        ApplyTextureRowParameters(kTextureTable[static_cast<std::size_t>(slot)]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kSide, kSide, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
    }
    constexpr float kGrey = 0.4f;
    const auto centre = [&](const RingPaths& paths) {
        rings.UsePaths(paths);
        gl_->BeginView(kAbove, kOrigin, kUpY, kGrey);
        glDisable(GL_LIGHTING);
        rings.DrawRingOverlays(tex, 30.0);
        glEnable(GL_LIGHTING);
        return ElementGl::Pixel(kWidth / 2, kHeight / 2);
    };
    const test::Rgba separate = centre(RingPaths {});
    const test::Rgba one = centre(RingPaths {.onePatternPass = true});
    // The one pass keeps the light pattern's grey, not its tint.
    const double lightGrey = (row.light[0] + row.light[1] + row.light[2]) / 3.0;
    for (int c = 0; c < 3; ++c) {
        const double expected
            = std::min(255.0, std::round(kGrey * 255.0) * row.light[c] / 255.0 + 0.9 * row.dark);
        EXPECT_NEAR(separate[c], expected, 1.0) << row.what << ", channel " << c;
        const double greyExpected
            = std::min(255.0, std::round(kGrey * 255.0) * lightGrey / 255.0 + 0.9 * row.dark);
        EXPECT_NEAR(one[c], greyExpected, 1.0) << row.what << ", channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RingsPatternTest,
    ::testing::Values(PatternRow {"as shipped, tinted", {220, 214, 208}, 27},
        PatternRow {"white and black: nothing changes", {255, 255, 255}, 0},
        PatternRow {"light at half grey", {128, 128, 128}, 10},
        PatternRow {"light below half grey", {40, 40, 40}, 10},
        PatternRow {"dark brighter than the light", {60, 60, 60}, 200},
        PatternRow {"the sum beyond white", {250, 250, 250}, 255}));

TEST_F(RingsTest, PatternsTurnWithTheClock)
{
    const auto frameAt = [&](double t) {
        View(kAbove, kOrigin, kUpY);
        DrawRingsAsTheFrame(t);
        return gl_->Frame();
    };
    const std::vector<uint8_t> start = frameAt(0.0);
    // 1800 units: five turns of the first pattern and seven of the second.
    EXPECT_LT(ElementGl::CountDiffering(start, frameAt(1800.0), 2), start.size() / 3 / 1000);
    EXPECT_GT(ElementGl::CountDiffering(start, frameAt(100.0), 2), 500u);
}

} // namespace
} // namespace velmora
