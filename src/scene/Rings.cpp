#include "scene/Rings.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace velmora {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSegmentAngle = kTwoPi / kRingSegments;

// The ring colour is added at 0.6 and then 0.1 more (the second pass marks
// the stencil); the one-pass path adds both at once.
constexpr double kRingColourWeight = 0.6;
constexpr double kRingColourTopUp = 0.1;

// Rotation rates of the pattern layers in degrees per clock unit.
constexpr double kWhiteSpotsRate = 1.0;
constexpr double kBlackSpotsRate = 1.4;
// The dark pattern is added at this weight.
constexpr double kBlackSpotsWeight = 0.9;
// The planet's shadow is painted for a Sun in the direction (1, 1, 0).
constexpr double kShadowOnRingAngle = -45.0;
// The rings' shadow is projected from a half-sphere of this radius whose
// texture coordinates are (x + 0.5, y + 0.5), grown to the planet's radius
// when drawn.
constexpr double kShadowDomeRadius = 0.5;

// The two patterns' turns at a clock value: texture (s, t) of pattern u at a
// point p of the ring plane is R(-angle u) p / (2 r) + (0.5, 0.5), as if the
// square covering the rings were turned for it.
struct PatternTurns {
    double c[2];
    double s[2];

    explicit PatternTurns(double animationTime)
    {
        const double degrees[2] = {kWhiteSpotsRate * animationTime, kBlackSpotsRate * animationTime};
        for (int u = 0; u < 2; ++u) {
            const double radians = degrees[u] * std::numbers::pi / 180.0;
            c[u] = std::cos(radians);
            s[u] = std::sin(radians);
        }
    }

    // Light pattern on firstUnit, dark on the next.
    void Emit(GLenum firstUnit, double x, double y) const
    {
        constexpr double r = kRingOuterRadius;
        for (int u = 0; u < 2; ++u) {
            glMultiTexCoord2d(static_cast<GLenum>(firstUnit + u), (c[u] * x + s[u] * y) / (2.0 * r) + 0.5,
                (c[u] * y - s[u] * x) / (2.0 * r) + 0.5);
        }
    }
};

// One step of the annulus: inner then outer vertex, the colour picture read
// at its first row; with turns, units 1 and 2 carry the patterns too.
void EmitRingStep(double angle, const PatternTurns* turns)
{
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double radii[2] = {kRingInnerRadius, kRingOuterRadius};
    for (int e = 0; e < 2; ++e) {
        const double x = radii[e] * c;
        const double y = radii[e] * s;
        glMultiTexCoord2d(GL_TEXTURE0, e, 0.0);
        if (turns)
            turns->Emit(GL_TEXTURE1, x, y);
        glNormal3d(0.0, 0.0, 1.0);
        glVertex3d(x, y, 0.0);
    }
}

// The annulus as two quad strips, one facing +z and one -z.
void EmitAnnulus(const PatternTurns* turns)
{
    // The angle accumulates by repeated addition: 129 steps, the last one at
    // 2 pi up to rounding, which closes the strip.
    glBegin(GL_QUAD_STRIP);
    for (double a = 0.0; a < kTwoPi; a += kSegmentAngle) {
        EmitRingStep(a, turns);
    }
    glEnd();
    // Walking the other way reverses the winding: this strip faces -z.
    glBegin(GL_QUAD_STRIP);
    for (double a = kTwoPi; a > 0.0; a -= kSegmentAngle) {
        EmitRingStep(a, turns);
    }
    glEnd();
}

// Sets the active unit to a combiner stage over a one-byte grey pattern
// (read as alpha): rgb = previous rgb (op) grey; alpha = previous alpha,
// times the grey when alphaToo.
void CombineWithGrey(GLuint texture, GLenum rgbOp, bool alphaToo)
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, rgbOp);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, alphaToo ? GL_MODULATE : GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
}

// Units back to their defaults, unbound and off; unit 0 active afterwards.
void ResetUnits(std::initializer_list<GLenum> units)
{
    for (const GLenum unit : units) {
        glActiveTexture(unit);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
    }
    glActiveTexture(GL_TEXTURE0);
}

// The annulus reads the colour picture at t = 0 only, where repeat wrapping
// filters the last row and the first half and half.
static_assert(kTextureTable[static_cast<std::size_t>(TextureSlot::Rings)].wrap == kKeepDefaultWrap);

// The one row of the ring colour picture that the annulus sees, with the
// grey mask as alpha: the mean of the last and the first row, as the filter
// makes it. Nothing when the sizes differ or the mask is not grey (its alpha
// could not stand for it).
std::vector<uint8_t> ColourWithMask(const std::vector<uint8_t>& colour, int width, int height,
    const uint8_t* mask, int maskWidth, int maskHeight)
{
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t texels = w * static_cast<std::size_t>(height);
    if (!mask || width <= 0 || height <= 0 || width != maskWidth || height != maskHeight
        || colour.size() != texels * 3) {
        return {};
    }
    for (std::size_t i = 0; i < texels; ++i) {
        const uint8_t* m = mask + i * 3;
        if (m[0] != m[1] || m[0] != m[2]) {
            return {};
        }
    }
    const std::size_t last = (texels - w) * 3;
    const auto mean = [](uint8_t a, uint8_t b) { return static_cast<uint8_t>((a + b + 1) / 2); };
    std::vector<uint8_t> row(w * 4);
    for (std::size_t x = 0; x < w; ++x) {
        for (std::size_t c = 0; c < 3; ++c) {
            row[x * 4 + c] = mean(colour[last + x * 3 + c], colour[x * 3 + c]);
        }
        row[x * 4 + 3] = mean(mask[last + x * 3], mask[x * 3]);
    }
    return row;
}

// A pattern's grey at a weight, one byte per texel. Its colour is left out:
// the shipped patterns are grey to within a few steps (JPEG tint), and one
// byte per texel instead of four makes the pass that samples them cheaper.
std::vector<uint8_t> PatternGrey(const uint8_t* rgb, int width, int height, double weight)
{
    if (!rgb || width <= 0 || height <= 0) {
        return {};
    }
    const std::size_t texels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<uint8_t> grey(texels);
    for (std::size_t i = 0; i < texels; ++i) {
        const uint8_t* p = rgb + i * 3;
        grey[i] = static_cast<uint8_t>(std::lround(weight * (p[0] + p[1] + p[2]) / 3.0));
    }
    return grey;
}

// Uploads pixels into a new texture of target (1D: height 1) with a table
// row's filters and wrapping; 0 when no name is left.
GLuint UploadPicture(GlTextureNames& names, TextureSlot row, GLenum target, GLenum format, int width,
    int height, const std::vector<uint8_t>& pixels)
{
    const GLuint name = names.Generate();
    if (name == 0) {
        return 0;
    }
    glBindTexture(target, name);
    ApplyTextureRowParameters(kTextureTable[static_cast<std::size_t>(row)], target);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLint internal = format == GL_ALPHA ? GL_ALPHA8 : GL_RGBA8;
    if (target == GL_TEXTURE_1D) {
        glTexImage1D(GL_TEXTURE_1D, 0, internal, width, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    } else {
        glTexImage2D(target, 0, internal, width, height, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    }
    glPopClientAttrib();
    glBindTexture(target, 0);
    return name;
}

// The square covering the rings, not turned itself, with the two patterns on
// units 0 and 1, each turned by its own angle. Both windings, as
// DrawOverlaySquare.
void DrawSquareWithTurnedTextures(const PatternTurns& turns)
{
    constexpr double r = kRingOuterRadius;
    const double x[4] = {-r, r, r, -r};
    const double y[4] = {-r, -r, r, r};
    glBegin(GL_QUADS);
    glNormal3d(0.0, 0.0, 1.0);
    for (int facing = 0; facing < 2; ++facing) {
        for (int k = 0; k < 4; ++k) {
            const int i = facing == 0 ? k : 3 - k;
            turns.Emit(GL_TEXTURE0, x[i], y[i]);
            glVertex3d(x[i], y[i], 0.0);
        }
    }
    glEnd();
}

// A square just covering the rings, drawn as the pieces of its texture that
// can change anything; each piece is emitted twice with opposite windings so
// one face survives culling whichever side the camera is on.
void DrawOverlaySquare(const std::vector<TexturePiece>& pieces)
{
    if (pieces.empty()) {
        return;
    }
    constexpr double r = kRingOuterRadius;
    glBegin(GL_QUADS);
    glNormal3d(0.0, 0.0, 1.0);
    for (const TexturePiece& piece : pieces) {
        if (piece.Whole()) {
            glTexCoord2d(0.0, 0.0);
            glVertex3d(-r, -r, 0.0);
            glTexCoord2d(1.0, 0.0);
            glVertex3d(r, -r, 0.0);
            glTexCoord2d(1.0, 1.0);
            glVertex3d(r, r, 0.0);
            glTexCoord2d(0.0, 1.0);
            glVertex3d(-r, r, 0.0);

            glTexCoord2d(0.0, 1.0);
            glVertex3d(-r, r, 0.0);
            glTexCoord2d(1.0, 1.0);
            glVertex3d(r, r, 0.0);
            glTexCoord2d(1.0, 0.0);
            glVertex3d(r, -r, 0.0);
            glTexCoord2d(0.0, 0.0);
            glVertex3d(-r, -r, 0.0);
            continue;
        }
        // The square maps texture (s, t) to (-r + 2 r s, -r + 2 r t).
        const double s[4] = {piece.s0, piece.s1, piece.s1, piece.s0};
        const double t[4] = {piece.t0, piece.t0, piece.t1, piece.t1};
        for (int i = 0; i < 4; ++i) {
            glTexCoord2d(s[i], t[i]);
            glVertex3d(-r + 2.0 * r * s[i], -r + 2.0 * r * t[i], 0.0);
        }
        for (int i = 3; i >= 0; --i) {
            glTexCoord2d(s[i], t[i]);
            glVertex3d(-r + 2.0 * r * s[i], -r + 2.0 * r * t[i], 0.0);
        }
    }
    glEnd();
}

// Clip planes keeping mesh points whose planar texture coordinates
// (x + 0.5, y + 0.5) lie inside the bounds' rectangle; none when it wraps or
// spans the whole texture. Returns how many planes, from GL_CLIP_PLANE0, it
// enabled.
int EnableTextureClipPlanes(const TextureBounds& b)
{
    if (b.stripS0 > 0.0f || b.stripS1 > 0.0f || b.stripT0 > 0.0f || b.stripT1 > 0.0f) {
        return 0;
    }
    // Plane (a, b, c, d) keeps a x + b y + c z + d >= 0.
    GLdouble planes[4][4];
    int n = 0;
    const auto add = [&](double a, double c, double d) {
        planes[n][0] = a;
        planes[n][1] = c;
        planes[n][2] = 0.0;
        planes[n][3] = d;
        ++n;
    };
    if (b.s0 > 0.0f) {
        add(1.0, 0.0, 0.5 - b.s0); // x + 0.5 >= s0
    }
    if (b.s1 < 1.0f) {
        add(-1.0, 0.0, b.s1 - 0.5); // x + 0.5 <= s1
    }
    if (b.t0 > 0.0f) {
        add(0.0, 1.0, 0.5 - b.t0);
    }
    if (b.t1 < 1.0f) {
        add(0.0, -1.0, b.t1 - 0.5);
    }
    for (int i = 0; i < n; ++i) {
        const GLenum plane = static_cast<GLenum>(GL_CLIP_PLANE0 + i);
        glClipPlane(plane, planes[i]);
        glEnable(plane);
    }
    return n;
}

} // namespace

void BeginBackgroundMarking()
{
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, kBackgroundStencilMark, kBackgroundStencilMark);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glStencilMask(kBackgroundStencilMark);
}

void RingSystem::DrawRingAnnulus()
{
    EmitAnnulus(nullptr);
}

void RingSystem::DrawAnnulusWithPatterns(double animationTime) const
{
    // The colour pass's framebuffer x mask + 0.7 colour, then the pattern
    // pass's 0.9 dark + framebuffer x light, are together
    // framebuffer x (light x mask) + (light x 0.7 colour + 0.9 dark): unit 0
    // gives 0.7 colour and the mask, unit 1 multiplies both by the light
    // pattern's grey, unit 2 adds the dark one's.
    glActiveTexture(GL_TEXTURE1);
    CombineWithGrey(lightGreyTexture_, GL_MODULATE, /*alphaToo=*/true);
    glActiveTexture(GL_TEXTURE2);
    CombineWithGrey(darkGreyTexture_, GL_ADD, /*alphaToo=*/false);
    glActiveTexture(GL_TEXTURE0);
    const PatternTurns turns(animationTime);
    EmitAnnulus(&turns);
    ResetUnits({GL_TEXTURE2, GL_TEXTURE1});
}

void RingSystem::DrawRingShadowOnPlanet(GLuint ringsShadow)
{
    // 1. Turn the hemisphere's dome (mesh -z) towards the Sun's horizontal
    //    direction (1, 1, 0) and grow it to the planet's radius.
    glRotated(-90.0, 1.0, 0.0, 0.0);
    glRotated(-135.0, 0.0, 1.0, 0.0);
    glScaled(2.0, 2.0, 2.0);

    // 2. The mesh is built once, on first use.
    if (hemisphereNeedsBuilding_) {
        hemisphere_.Build(kShadowDomeRadius, kSphereMeshColumns, kSphereMeshRows);
        hemisphereNeedsBuilding_ = false;
    }

    // 3. Multiply the framebuffer by the shadow texture; no depth test so the
    //    half-sphere, which coincides with the planet's surface, is not lost
    //    to depth fighting. Culling keeps only its near faces.
    glColor3d(1.0, 1.0, 1.0);
    glBindTexture(GL_TEXTURE_2D, ringsShadow);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);

    // 4. Texture coordinates are projected along the dome's axis:
    //    (x + 0.5, y + 0.5) of the mesh. Where the texture is white the
    //    multiply changes nothing, so clip planes in mesh space keep the
    //    drawing to the rectangle where it is not.
    if (!ringsShadowBounds_.empty) {
        const int planes = EnableTextureClipPlanes(ringsShadowBounds_);
        hemisphere_.DrawMapped(true);
        for (int i = 0; i < planes; ++i) {
            glDisable(static_cast<GLenum>(GL_CLIP_PLANE0 + i));
        }
    }

    // 5. Undo the transform in reverse order.
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glScaled(0.5, 0.5, 0.5);
    glRotated(135.0, 0.0, 1.0, 0.0);
    glRotated(90.0, 1.0, 0.0, 0.0);
}

void RingSystem::DrawPatternsInOnePass(double animationTime) const
{
    // Unit 0: the light pattern's grey as alpha.
    glBindTexture(GL_TEXTURE_2D, lightGreyTexture_);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    // Unit 1: colour = 0.9 dark, alpha = light passed on.
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, darkGreyTexture_);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE0);

    // 0.9 dark + framebuffer x light: the framebuffer multiplied by the light
    // pattern with the dark one added.
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    DrawSquareWithTurnedTextures(PatternTurns(animationTime));

    // Unit 1 back to its defaults, and unit 0 to modulating.
    ResetUnits({GL_TEXTURE1});
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void RingSystem::DrawRingOverlays(const SceneTextures& textures, double animationTime) const
{
    const double t = animationTime;
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);

    if (paths_.patternsInColourPass) {
        // 1-2 are already on, laid by the colour pass.
    } else if (paths_.onePatternPass) {
        // 1-2 at once.
        DrawPatternsInOnePass(t);
    } else {
        // 1. Light pattern, multiplied, turning at t degrees.
        glRotated(kWhiteSpotsRate * t, 0.0, 0.0, 1.0);
        glBindTexture(GL_TEXTURE_2D, textures.spotsWhite);
        glColor4d(1.0, 1.0, 1.0, 0.1);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        DrawOverlaySquare(spotsWhitePieces_);
        glRotated(-kWhiteSpotsRate * t, 0.0, 0.0, 1.0);

        // 2. Dark pattern, added at 0.9, turning at 1.4 t degrees.
        glRotated(kBlackSpotsRate * t, 0.0, 0.0, 1.0);
        glBindTexture(GL_TEXTURE_2D, textures.spotsBlack);
        glColor4d(kBlackSpotsWeight, kBlackSpotsWeight, kBlackSpotsWeight, 0.1);
        glBlendFunc(GL_ONE, GL_ONE);
        DrawOverlaySquare(spotsBlackPieces_);
        glRotated(-kBlackSpotsRate * t, 0.0, 0.0, 1.0);
    }

    // 3. The planet's shadow, fixed in space.
    glBindTexture(GL_TEXTURE_2D, textures.shadowOnRing);
    glColor4d(1.0, 1.0, 1.0, 1.0);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glRotated(kShadowOnRingAngle, 0.0, 0.0, 1.0);
    DrawOverlaySquare(shadowOnRingPieces_);
    glRotated(-kShadowOnRingAngle, 0.0, 0.0, 1.0);

    // 4. Back to opaque, depth-tested drawing.
    glColor4d(1.0, 1.0, 1.0, 1.0);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void RingSystem::SetOverlayImage(TextureSlot slot, const uint8_t* rgb, int width, int height)
{
    // The overlay textures keep GL's repeat wrapping.
    switch (slot) {
    case TextureSlot::SpotsWhite:
        spotsWhitePieces_ = TexturePieces(ComputeTextureBounds(rgb, width, height, 255, TextureWrap::Repeat));
        lightGrey_ = PatternGrey(rgb, width, height, 1.0);
        lightWidth_ = width;
        lightHeight_ = height;
        break;
    case TextureSlot::SpotsBlack:
        spotsBlackPieces_ = TexturePieces(ComputeTextureBounds(rgb, width, height, 0, TextureWrap::Repeat));
        darkGrey_ = PatternGrey(rgb, width, height, kBlackSpotsWeight);
        darkWidth_ = width;
        darkHeight_ = height;
        break;
    case TextureSlot::RingsShadow:
        ringsShadowBounds_ = ComputeTextureBounds(rgb, width, height, 255, TextureWrap::Repeat);
        break;
    case TextureSlot::ShadowOnRing:
        shadowOnRingPieces_
            = TexturePieces(ComputeTextureBounds(rgb, width, height, 255, TextureWrap::Repeat));
        break;
    // The colour picture loads just before the mask.
    case TextureSlot::Rings:
        colourWithMask_.clear();
        colourPixels_.clear();
        if (rgb && width > 0 && height > 0) {
            colourPixels_.assign(
                rgb, rgb + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
            colourWidth_ = width;
            colourHeight_ = height;
        }
        break;
    case TextureSlot::RingsMask:
        colourWithMask_ = ColourWithMask(colourPixels_, colourWidth_, colourHeight_, rgb, width, height);
        colourPixels_ = std::vector<uint8_t> {};
        break;
    default:
        break;
    }
}

const std::vector<TexturePiece>& RingSystem::OverlayPieces(TextureSlot slot) const
{
    static const std::vector<TexturePiece> kWhole {kWholeTexture};
    switch (slot) {
    case TextureSlot::SpotsWhite:
        return spotsWhitePieces_;
    case TextureSlot::SpotsBlack:
        return spotsBlackPieces_;
    case TextureSlot::ShadowOnRing:
        return shadowOnRingPieces_;
    default:
        return kWhole;
    }
}

void RingSystem::DrawColourLayers(
    const SceneTextures& textures, bool backgroundMarked, double animationTime) const
{
    if (paths_.oneColourPass) {
        // 3-6 at once: framebuffer x mask + 0.7 colour, writing depth and
        // marking every ring pixel that passed the depth test with the
        // stencil value 2. Unmarked sky is black, so the mask changes nothing
        // there and the background marks are not needed.
        // A one-dimensional texture: two texels filtered per fragment
        // instead of four.
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_TEXTURE_1D);
        glEnable(GL_BLEND);
        glBindTexture(GL_TEXTURE_1D, colourWithMaskTexture_);
        glBlendFunc(GL_ONE, GL_SRC_ALPHA);
        constexpr double k = kRingColourWeight + kRingColourTopUp;
        glColor4d(k, k, k, 1.0);
        glEnable(GL_STENCIL_TEST);
        glStencilMask(~0u);
        glStencilFunc(GL_ALWAYS, kRingStencilMark, kRingStencilMark);
        glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
        if (paths_.patternsInColourPass)
            DrawAnnulusWithPatterns(animationTime);
        else
            DrawRingAnnulus();
        glDisable(GL_TEXTURE_1D);
        glEnable(GL_TEXTURE_2D);
        return;
    }

    // 3. Darken what lies behind the rings by their opacity mask, wherever the
    //    planet does not hide them; no depth written yet so the mask and the
    //    colour passes test against the same depth.
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, textures.ringsMask);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    if (backgroundMarked) {
        // Only where something was drawn: the rings mostly lie over empty
        // sky, and llvmpipe drops stencil-failing fragments before
        // texturing them.
        glStencilFunc(GL_EQUAL, kBackgroundStencilMark, kBackgroundStencilMark);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    }
    DrawRingAnnulus();
    if (backgroundMarked) {
        glDisable(GL_STENCIL_TEST);
        glStencilMask(~0u);
    }

    // 4. From here on the rings write depth, so Titan behind them is hidden.
    glDepthMask(GL_TRUE);

    // 5. Add the ring colour at 0.6 (blending is still on) ...
    glBindTexture(GL_TEXTURE_2D, textures.rings);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4d(kRingColourWeight, kRingColourWeight, kRingColourWeight, 1.0);
    DrawRingAnnulus();

    // 6. ... and 0.1 more while marking every ring pixel that passed the
    //    depth test with the stencil value 2 (GL_LEQUAL lets the equal depth
    //    written by step 5 pass).
    glColor4d(kRingColourTopUp, kRingColourTopUp, kRingColourTopUp, 1.0);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, kRingStencilMark, kRingStencilMark);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    DrawRingAnnulus();
}

void RingSystem::PrepareGl(GlTextureNames& names)
{
    possible_ = RingPaths {};
    if (!colourWithMask_.empty()) {
        colourWithMaskTexture_ = UploadPicture(
            names, TextureSlot::Rings, GL_TEXTURE_1D, GL_RGBA, colourWidth_, 1, colourWithMask_);
        possible_.oneColourPass = colourWithMaskTexture_ != 0;
        colourWithMask_ = std::vector<uint8_t> {};
    }

    const GLint units = CombinerUnits();
    if (!lightGrey_.empty() && !darkGrey_.empty() && units >= 2) {
        lightGreyTexture_ = UploadPicture(
            names, TextureSlot::SpotsWhite, GL_TEXTURE_2D, GL_ALPHA, lightWidth_, lightHeight_, lightGrey_);
        darkGreyTexture_ = UploadPicture(
            names, TextureSlot::SpotsBlack, GL_TEXTURE_2D, GL_ALPHA, darkWidth_, darkHeight_, darkGrey_);
        possible_.onePatternPass = lightGreyTexture_ != 0 && darkGreyTexture_ != 0;
    }
    possible_.patternsInColourPass = possible_.oneColourPass && possible_.onePatternPass && units >= 3;
    lightGrey_ = std::vector<uint8_t> {};
    darkGrey_ = std::vector<uint8_t> {};
    paths_ = possible_;
}

void RingSystem::UsePaths(const RingPaths& wanted)
{
    paths_.oneColourPass = wanted.oneColourPass && possible_.oneColourPass;
    paths_.onePatternPass = wanted.onePatternPass && possible_.onePatternPass;
    paths_.patternsInColourPass = wanted.patternsInColourPass && possible_.patternsInColourPass
        && paths_.oneColourPass && paths_.onePatternPass;
}

void RingSystem::DrawRings(const SceneTextures& textures, double animationTime, bool backgroundMarked)
{
    // 1. The rings and their shadows are painted, not lit.
    glDisable(GL_LIGHTING);

    // 2. Shadow of the rings on the planet.
    DrawRingShadowOnPlanet(textures.ringsShadow);

    // 3-6. Mask and colour, marking the visible ring pixels.
    DrawColourLayers(textures, backgroundMarked, animationTime);

    // 7. The overlays, which set their own blending and depth writes, may
    //    only touch marked pixels.
    glStencilFunc(GL_EQUAL, kRingStencilMark, kRingStencilMark);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);

    // 8. Patterns and the planet's shadow on the rings.
    DrawRingOverlays(textures, animationTime);

    // 9. Back to lit drawing without the stencil.
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_LIGHTING);
}

} // namespace velmora
