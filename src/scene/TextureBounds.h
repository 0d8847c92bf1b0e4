#pragma once
// Where a texture can change the framebuffer. A sprite added with (GL_SRC_ALPHA,
// GL_ONE) changes nothing where its texels are black; a layer multiplied with
// (GL_DST_COLOR, GL_ZERO) changes nothing where they are white. Cutting a quad
// to the rest of its texture saves fill without changing a pixel.

#include <cstdint>

namespace velmora {

// Texture coordinates, t = 0 at the first pixel row.
struct TextureBounds {
    float s0 = 0.0f;
    float t0 = 0.0f;
    float s1 = 1.0f;
    float t1 = 1.0f;
    bool empty = false; // every texel is neutral: the quad adds nothing at all

    bool Full() const { return !empty && s0 <= 0.0f && t0 <= 0.0f && s1 >= 1.0f && t1 >= 1.0f; }
};

enum class TextureWrap { ClampToEdge, Repeat };

// The smallest rectangle outside which a linear filter reads only texels whose
// three channels all equal neutral. rgb: tightly packed 8-bit RGB rows. With
// repeat wrapping the filter also reads across the opposite edge, which the
// rectangle then includes. A null block, non-positive or oversized sides give
// full bounds (nothing is cut).
TextureBounds ComputeTextureBounds(
    const uint8_t* rgb, int width, int height, uint8_t neutral, TextureWrap wrap);

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
