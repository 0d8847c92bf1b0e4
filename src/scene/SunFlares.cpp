#include "scene/SunFlares.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace velmora {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSampleAngleStep = std::numbers::pi / 64.0;

// Everything the sprite changes except the blend function and the texture
// binding, which the next sprite sets anyway.
constexpr GLbitfield kSpriteAttribs = GL_CURRENT_BIT | GL_POINT_BIT | GL_POLYGON_STIPPLE_BIT
    | GL_PIXEL_MODE_BIT | GL_LIGHTING_BIT | GL_FOG_BIT | GL_DEPTH_BUFFER_BIT | GL_ACCUM_BUFFER_BIT
    | GL_VIEWPORT_BIT | GL_ENABLE_BIT;

struct QuadricDeleter {
    void operator()(GLUquadric* q) const noexcept { gluDeleteQuadric(q); }
};

struct Pixel {
    GLint x;
    GLint y;
};

// The on-screen sample pixels of the occlusion ring, in visiting order.
std::vector<Pixel> OcclusionSamplePixels(double nx, double ny, int width, int height)
{
    std::vector<Pixel> pixels;
    pixels.reserve(kOcclusionSampleCount);
    // Accumulated by addition: 129 angles, the last at 2 pi up to rounding,
    // so the sample at angle 0 is counted twice.
    for (double angle = 0.0; angle < kTwoPi; angle += kSampleAngleStep) {
        const double sx = nx + kOcclusionRadius * std::cos(angle);
        const double sy = ny + kOcclusionRadius * std::sin(angle);
        if (sx < -1.0 || sx >= 1.0 || sy < -1.0 || sy >= 1.0) {
            continue;
        }
        pixels.push_back(
            {static_cast<GLint>((sx + 1.0) * 0.5 * width), static_cast<GLint>((sy + 1.0) * 0.5 * height)});
    }
    return pixels;
}

// Depth at every sample pixel, in the order given.
std::vector<float> ReadSampleDepths(const std::vector<Pixel>& pixels, DepthReadMode mode)
{
    std::vector<float> depths(pixels.size(), 1.0f);
    if (pixels.empty()) {
        return depths;
    }
    // Defined packing whatever the rest of the program left set.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    if (mode == DepthReadMode::OnePixelEach) {
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            glReadPixels(pixels[i].x, pixels[i].y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depths[i]);
        }
    } else {
        GLint x0 = pixels[0].x, x1 = pixels[0].x, y0 = pixels[0].y, y1 = pixels[0].y;
        for (const Pixel& p : pixels) {
            x0 = std::min(x0, p.x);
            x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y);
            y1 = std::max(y1, p.y);
        }
        // The samples lie within the viewport, so the block is at most the
        // viewport's size.
        const std::size_t w = static_cast<std::size_t>(x1 - x0) + 1;
        const std::size_t h = static_cast<std::size_t>(y1 - y0) + 1;
        std::vector<float> block(w * h, 1.0f);
        glReadPixels(x0, y0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_DEPTH_COMPONENT, GL_FLOAT,
            block.data());
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::size_t col = static_cast<std::size_t>(pixels[i].x - x0);
            const std::size_t row = static_cast<std::size_t>(pixels[i].y - y0);
            depths[i] = block[row * w + col];
        }
    }
    glPopClientAttrib();
    return depths;
}

} // namespace

std::vector<TexturePiece> FlarePieces(const uint8_t* rgb, int width, int height)
{
    const std::vector<uint8_t> drawn = FaintTexelsAsBlack(rgb, width, height, kFaintestLeftOutTexel);
    return CutCornerPieces(drawn.empty() ? nullptr : drawn.data(), width, height, 0);
}

TextureBounds ComputeSpriteBounds(const uint8_t* rgb, int width, int height)
{
    return ComputeTextureBounds(rgb, width, height, 0, TextureWrap::ClampToEdge);
}

void DrawScreenSprite(double x, double y, double angle, double halfWidth, double halfHeight, double alpha,
    GLuint texture, float r, float g, float b, std::span<const TexturePiece> pieces)
{
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double hw = halfWidth;
    const double hh = halfHeight;
    // Corners of texture (0, 0), (1, 0) and (0, 1); the quad is a
    // parallelogram, affine in its texture coordinates, so a piece keeps
    // every texel where it was.
    const Point2 pa {x + hw * s, y - hh * c};
    const Point2 pb {x + hw * c, y + hh * s};
    const Point2 pd {x - hw * c, y - hh * s};
    const auto beside = [](const std::array<Point2, 4>& q) {
        const auto all = [&](auto outside) { return std::all_of(q.begin(), q.end(), outside); };
        return all([](const Point2& p) { return p.x < -1.0; })
            || all([](const Point2& p) { return p.x > 1.0; })
            || all([](const Point2& p) { return p.y < -1.0; })
            || all([](const Point2& p) { return p.y > 1.0; });
    };
    // Pieces in the order (s1, t0), (s1, t1), (s0, t1), (s0, t0): the
    // counter-clockwise order of the whole quad.
    std::vector<std::array<Point2, 4>> quads;
    std::vector<const TexturePiece*> drawn;
    for (const TexturePiece& piece : pieces) {
        const std::array<Point2, 4> q {AffinePoint(pa, pb, pd, piece.s1, piece.t0),
            AffinePoint(pa, pb, pd, piece.s1, piece.t1), AffinePoint(pa, pb, pd, piece.s0, piece.t1),
            AffinePoint(pa, pb, pd, piece.s0, piece.t0)};
        // Entirely beside the screen: nothing to add.
        if (!beside(q)) {
            quads.push_back(q);
            drawn.push_back(&piece);
        }
    }
    if (quads.empty()) {
        return;
    }

    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(kSpriteAttribs);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, texture);

    glBegin(GL_QUADS);
    glColor4f(r, g, b, static_cast<float>(alpha));
    for (std::size_t k = 0; k < quads.size(); ++k) {
        const TexturePiece& piece = *drawn[k];
        if (piece.Whole()) {
            // The whole quad, with its corners computed as directly as possible.
            glTexCoord2f(1.0f, 0.0f);
            glVertex3f(static_cast<float>(x + hw * c), static_cast<float>(y + hh * s), -1.0f);
            glTexCoord2f(1.0f, 1.0f);
            glVertex3f(static_cast<float>(x - hw * s), static_cast<float>(y + hh * c), -1.0f);
            glTexCoord2f(0.0f, 1.0f);
            glVertex3f(static_cast<float>(x - hw * c), static_cast<float>(y - hh * s), -1.0f);
            glTexCoord2f(0.0f, 0.0f);
            glVertex3f(static_cast<float>(x + hw * s), static_cast<float>(y - hh * c), -1.0f);
            continue;
        }
        const float u[4] = {piece.s1, piece.s1, piece.s0, piece.s0};
        const float v[4] = {piece.t0, piece.t1, piece.t1, piece.t0};
        if (piece.Cut()) {
            continue; // drawn below as a polygon
        }
        for (std::size_t i = 0; i < 4; ++i) {
            glTexCoord2f(u[i], v[i]);
            glVertex3f(static_cast<float>(quads[k][i].x), static_cast<float>(quads[k][i].y), -1.0f);
        }
    }
    glEnd();
    // Pieces with cut corners: up to eight points, counter-clockwise like the
    // quad.
    for (std::size_t k = 0; k < quads.size(); ++k) {
        const TexturePiece& piece = *drawn[k];
        if (!piece.Cut()) {
            continue;
        }
        glBegin(GL_POLYGON);
        glColor4f(r, g, b, static_cast<float>(alpha));
        for (const TexturePoint& tp : PieceOutline(piece)) {
            const Point2 p = AffinePoint(pa, pb, pd, tp.s, tp.t);
            glTexCoord2f(tp.s, tp.t);
            glVertex3f(static_cast<float>(p.x), static_cast<float>(p.y), -1.0f);
        }
        glEnd();
    }

    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

SunVisibility MeasureSunVisibility(const Vec3& sun, DepthReadMode mode)
{
    SunVisibility result;
    GLdouble modelView[16];
    GLdouble projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int width = viewport[2];
    const int height = viewport[3];
    if (width <= 0 || height <= 0) {
        return result;
    }
    GLdouble wx = 0.0, wy = 0.0, wz = 0.0;
    // A point in the eye's plane has no projection at all.
    if (gluProject(sun.x, sun.y, sun.z, modelView, projection, viewport, &wx, &wy, &wz) == GL_FALSE) {
        return result;
    }
    // Beyond the far plane or behind the camera.
    if (wz > 1.0) {
        return result;
    }
    result.projected = true;
    result.depth = wz;
    result.nx = wx / width * 2.0 - 1.0;
    result.ny = wy / height * 2.0 - 1.0;

    const std::vector<Pixel> pixels = OcclusionSamplePixels(result.nx, result.ny, width, height);
    const std::vector<float> depths = ReadSampleDepths(pixels, mode);
    result.onScreenSamples = static_cast<int>(pixels.size());
    // Nothing nearer than the Sun covers a clear sample.
    result.hidden = HiddenShare(static_cast<int>(
        std::count_if(depths.begin(), depths.end(), [wz](float d) { return static_cast<double>(d) >= wz; })));
    return result;
}

double HiddenShare(int visible)
{
    // Step by step, so that equal counts give equal values bit for bit.
    double hidden = 1.0;
    for (int i = 0; i < visible; ++i) {
        hidden -= kOcclusionStep;
    }
    return hidden;
}

std::array<float, 3> FlareColour(float r, float g, float b, double hidden)
{
    return {static_cast<float>(r + (1.0 - r) * hidden), static_cast<float>(g + (0.5 - g) * hidden),
        static_cast<float>(b - b * hidden)};
}

std::array<std::vector<TexturePiece>, kFlareImageCount> SunFlares::MakeWholePieces()
{
    std::array<std::vector<TexturePiece>, kFlareImageCount> pieces;
    for (auto& p : pieces) {
        p.assign(1, kWholeTexture);
    }
    return pieces;
}

void SunFlares::SetFlareImage(std::size_t index, const uint8_t* rgb, int width, int height)
{
    if (index < pieces_.size()) {
        pieces_[index] = FlarePieces(rgb, width, height);
    }
}

void SunFlares::PrepareMergedSprites(const FlareImages& images, GlTextureNames& names)
{
    merged_.clear();
    mergedOfRow_.fill(0);
    // Everything is fixed when every sample of the occlusion ring is clear.
    const SunVisibility full {.projected = true, .hidden = HiddenShare(kOcclusionSampleCount)};
    const TextureRow& parameters = kTextureTable[static_cast<std::size_t>(TextureSlot::Flare1)];
    for (FlareGroup& group : GroupFlareRows(images)) {
        const std::vector<uint8_t> rgb = ComposeFlareGroup(group, images, full.Fade(), full.hidden);
        const GLuint name = rgb.empty() ? 0 : names.Generate();
        if (name == 0) {
            continue;
        }
        glBindTexture(GL_TEXTURE_2D, name);
        ApplyTextureRowParameters(parameters);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, group.side, group.side, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        glPopClientAttrib();
        for (const std::size_t row : group.rows) {
            mergedOfRow_[row] = merged_.size() + 1;
        }
        std::vector<TexturePiece> pieces = FlarePieces(rgb.data(), group.side, group.side);
        merged_.push_back({std::move(group), name, std::move(pieces)});
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

void SunFlares::DrawSun(const Vec3& sunPosition)
{
    // 1. The light sits at the Sun in scene coordinates, so it is set with the
    //    camera's matrix current.
    const GLfloat position[4] = {static_cast<GLfloat>(sunPosition.x), static_cast<GLfloat>(sunPosition.y),
        static_cast<GLfloat>(sunPosition.z), 1.0f};
    const GLfloat direction[3] = {-1.0f, -1.0f, -1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);

    // 2. Unlit, untextured, and no depth test, hence no depth written: the
    //    flare pass later reads the cleared depth wherever only the Sun is.
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor3d(1.0, 1.0, 1.0);

    // 3. The sphere.
    const std::unique_ptr<GLUquadric, QuadricDeleter> quadric(gluNewQuadric());
    if (quadric) {
        gluQuadricDrawStyle(quadric.get(), GLU_FILL);
        const auto x = static_cast<GLfloat>(sunPosition.x);
        const auto y = static_cast<GLfloat>(sunPosition.y);
        const auto z = static_cast<GLfloat>(sunPosition.z);
        glTranslatef(x, y, z);
        gluSphere(quadric.get(), kSunRadius, 24, 12);
        glTranslatef(-x, -y, -z);
    }

    // 4. What every later element expects.
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}

SunVisibility SunFlares::DrawLensFlares(const Vec3& sun, const SceneTextures& textures) const
{
    const SunVisibility vis = MeasureSunVisibility(sun, depthReadMode_);
    if (!vis.projected) {
        return vis;
    }
    const double fade = vis.Fade();
    if (fade <= 0.0) {
        return vis;
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const double aspect = static_cast<double>(viewport[2]) / static_cast<double>(viewport[3]);
    // Turns each sprite so its texture's diagonal points along the flare axis.
    const double rot = std::atan2(vis.ny, vis.nx) - 3.0 * std::numbers::pi / 4.0;

    // With the Sun in full view, sprites sharing a centre are one quad of
    // their sum, drawn where its first row would be.
    const bool merge = useMerged_ && vis.hidden == HiddenShare(kOcclusionSampleCount);
    for (std::size_t r = 0; r < kLensFlareTable.size(); ++r) {
        const FlareElement& row = kLensFlareTable[r];
        if (merge && mergedOfRow_[r] != 0) {
            const MergedSprite& m = merged_[mergedOfRow_[r] - 1];
            if (m.group.rows.front() == r) {
                const double h = m.group.halfExtent * fade;
                DrawScreenSprite(vis.nx * row.axisPosition, vis.ny * row.axisPosition, rot, h, h * aspect,
                    1.0, m.texture, 1.0f, 1.0f, 1.0f, m.pieces);
            }
            continue;
        }
        const std::size_t image = static_cast<std::size_t>(row.image - 1);
        const std::array<float, 3> colour = FlareColour(row.r, row.g, row.b, vis.hidden);
        DrawScreenSprite(vis.nx * row.axisPosition, vis.ny * row.axisPosition, rot, row.halfWidth * fade,
            row.halfHeight * fade * aspect, row.alphaScale * fade, textures.flare[image], colour[0],
            colour[1], colour[2], pieces_[image]);
    }

    // The streak keeps its size whatever the fade; at -pi/4 it lies along the
    // screen's horizontal through the Sun.
    const FlareElement& streak = kLensFlareStreak;
    const std::size_t image = static_cast<std::size_t>(streak.image - 1);
    const std::array<float, 3> colour = FlareColour(streak.r, streak.g, streak.b, vis.hidden);
    DrawScreenSprite(vis.nx, vis.ny, -std::numbers::pi / 4.0, streak.halfWidth, streak.halfHeight * aspect,
        fade, textures.flare[image], colour[0], colour[1], colour[2], pieces_[image]);
    return vis;
}

} // namespace velmora
