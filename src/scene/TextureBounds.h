#pragma once
// Where a texture can change the framebuffer. A sprite added with (GL_SRC_ALPHA,
// GL_ONE) changes nothing where its texels are black; a layer multiplied with
// (GL_DST_COLOR, GL_ZERO) changes nothing where they are white. Cutting a quad
// to the rest of its texture saves fill without changing a pixel.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// Texture coordinates, t = 0 at the first pixel row.
struct TextureBounds {
    float s0 = 0.0f;
    float t0 = 0.0f;
    float s1 = 1.0f;
    float t1 = 1.0f;
    bool empty = false; // every texel is neutral: the quad adds nothing at all
    // Repeat wrapping: a live texel on one edge is also read by the filter
    // within half a texel of the opposite edge, which then needs a thin strip
    // of its own. Widths of the strips at s = 0, s = 1, t = 0 and t = 1
    // (0: none).
    float stripS0 = 0.0f;
    float stripS1 = 0.0f;
    float stripT0 = 0.0f;
    float stripT1 = 0.0f;

    bool Full() const { return !empty && s0 <= 0.0f && t0 <= 0.0f && s1 >= 1.0f && t1 >= 1.0f; }
};

enum class TextureWrap { ClampToEdge, Repeat };

// The smallest rectangle outside which a linear filter reads only texels whose
// three channels all equal neutral (plus, with repeat wrapping, the strips
// the filter reaches across the opposite edges). rgb: tightly packed 8-bit
// RGB rows. A null block, non-positive or oversized sides give full bounds
// (nothing is cut).
TextureBounds ComputeTextureBounds(
    const uint8_t* rgb, int width, int height, uint8_t neutral, TextureWrap wrap);

// A rectangle of texture coordinates to draw, its corners possibly cut off
// at 45 degrees (in texels): cutS[k] and cutT[k] are how far the cut reaches
// along s and t from corner k, in the order (s1, t0), (s1, t1), (s0, t1),
// (s0, t0). Zero: the corner stays.
struct TexturePiece {
    float s0, t0, s1, t1;
    std::array<float, 4> cutS {};
    std::array<float, 4> cutT {};

    bool Cut() const
    {
        for (std::size_t k = 0; k < 4; ++k)
            if (cutS[k] > 0.0f || cutT[k] > 0.0f)
                return true;
        return false;
    }
    bool Whole() const { return s0 <= 0.0f && t0 <= 0.0f && s1 >= 1.0f && t1 >= 1.0f && !Cut(); }
};
inline constexpr TexturePiece kWholeTexture {0.0f, 0.0f, 1.0f, 1.0f};

// The pieces of a quad to draw for these bounds: the rectangle and the strips
// wrapping adds; none when the texture changes nothing. The pieces do not
// overlap.
std::vector<TexturePiece> TexturePieces(const TextureBounds& bounds);

// The piece of a clamped texture that a linear filter reads live texels from,
// as ComputeTextureBounds finds it, with each corner cut off as far as only
// neutral texels (and the filter's reach) are left out: about an octagon
// around a round sprite, which leaves out a sixth of its square. None when
// every texel is neutral.
std::vector<TexturePiece> CutCornerPieces(const uint8_t* rgb, int width, int height, uint8_t neutral);

// A point in texture coordinates.
struct TexturePoint {
    float s;
    float t;
};

// A piece's outline, counter-clockwise from (s1, t0) like the quad: four
// corners, each cut corner replaced by the two points where its cut meets
// the sides.
std::vector<TexturePoint> PieceOutline(const TexturePiece& piece);

// The part of a clamped texture's square worth drawing: the whole square,
// or triangles in texture coordinates (none: the texture changes nothing).
struct TextureShape {
    bool whole = true;
    std::vector<TexturePoint> triangles;
};

// The cut-corner piece of a clamped texture (see CutCornerPieces), less a
// 16-sided hole around the texture's centre when the filter reads only
// neutral texels there: the dark middle of a rim glow is never drawn.
TextureShape RingShape(const uint8_t* rgb, int width, int height, uint8_t neutral);

// A copy of an RGB picture with every texel whose channels are all at most
// faintest turned black.
std::vector<uint8_t> FaintTexelsAsBlack(const uint8_t* rgb, int width, int height, uint8_t faintest);

// The shapes of a texture that is added at a varying alpha (blend
// GL_SRC_ALPHA, GL_ONE, colour white). At alpha a, a texel of level v (of
// 255), or any filtered blend of texels no brighter, adds v a, which rounds
// to nothing while v times 255 a, and v times 255 a rounded to a byte, stay
// below 127.5: the blend may run in floats or in bytes. So at low alphas the
// faint outskirts of the texture can be left out without changing a pixel.
struct AddedShapes {
    // Shape k leaves out texels no brighter than kFaintest[k].
    static constexpr std::array<uint8_t, 12> kFaintest {0, 1, 2, 3, 4, 6, 8, 12, 16, 25, 42, 63};
    std::array<TextureShape, kFaintest.size()> shapes;

    // The smallest shape that draws the same pixels at this alpha; null when
    // nothing would change at all.
    const TextureShape* ForAlpha(double alpha) const;
};
AddedShapes MakeAddedShapes(const uint8_t* rgb, int width, int height);

// Point of the parallelogram with corners a (0, 0), b (1, 0) and d (0, 1) at
// texture coordinates (s, t); the quads are affine in their texture
// coordinates, so a cut quad keeps every texel where it was.
struct Point2 {
    double x;
    double y;
};
inline Point2 AffinePoint(const Point2& a, const Point2& b, const Point2& d, double s, double t)
{
    return {a.x + s * (b.x - a.x) + t * (d.x - a.x), a.y + s * (b.y - a.y) + t * (d.y - a.y)};
}

} // namespace velmora
