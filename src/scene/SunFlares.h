#pragma once
// The Sun and the glare it throws on the camera lens. The Sun pass moves the
// light and draws a small white sphere; the flare pass, after the whole scene,
// measures how much of the Sun the depth buffer shows and adds a chain of
// sprites along the line from the Sun through the screen centre.

#include <GL/gl.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "camera/Vec3.h"
#include "scene/LensFlareTable.h"
#include "scene/SceneTextures.h"

namespace velmora {

inline constexpr double kSunRadius = 2.0;
// Occlusion ring: 129 depth samples at 0.03 device units around the Sun.
inline constexpr int kOcclusionSampleCount = 129;
inline constexpr double kOcclusionRadius = 0.03;
inline constexpr double kOcclusionStep = 1.0 / 128.0;
inline constexpr double kFlareFadeScale = 0.3;

// The part of a sprite texture that can add anything: outside it every texel
// a linear filter could reach is black, so the quad may be cut to it without
// changing a pixel. Texture coordinates, t = 0 at the first pixel row.
struct SpriteBounds {
    float s0 = 0.0f;
    float t0 = 0.0f;
    float s1 = 1.0f;
    float t1 = 1.0f;
    bool empty = false; // the whole texture is black

    bool Full() const { return !empty && s0 <= 0.0f && t0 <= 0.0f && s1 >= 1.0f && t1 >= 1.0f; }
};

// rgb: tightly packed 8-bit RGB rows, the first row uploaded as t = 0. Rejects
// (returns full bounds for) a null block or non-positive or oversized sides.
SpriteBounds ComputeSpriteBounds(const uint8_t* rgb, int width, int height);

// One textured, additively blended quad in device coordinates, facing the
// screen: centre (x, y), turned by angle radians, with the texture's (1, 0)
// corner at (x + hw cos, y + hh sin). Bounds cut the quad to the part of the
// texture that is not black. Leaves the blend function and the bound texture
// as it set them.
void DrawScreenSprite(double x, double y, double angle, double halfWidth, double halfHeight, double alpha,
    GLuint texture, float r, float g, float b, const SpriteBounds& bounds = SpriteBounds {});

// How the occlusion samples are fetched from the depth buffer. Both give the
// same result; the block read is one glReadPixels of the rectangle holding
// every on-screen sample.
enum class DepthReadMode { OnePixelEach, OneBlock };

// What the flare pass measured for one point.
struct SunVisibility {
    bool projected = false; // false: behind the camera or beyond the far plane
    double nx = 0.0; // device coordinates of the Sun
    double ny = 0.0;
    double depth = 0.0; // window depth of the Sun
    double hidden = 1.0; // 1 - visible samples / 128
    int onScreenSamples = 0;

    double Visible() const { return 1.0 - hidden; }
    double Fade() const { return Visible() * kFlareFadeScale; }
};

// Projects sun through the current matrices and counts the samples of the
// occlusion ring where nothing nearer than the Sun was drawn.
SunVisibility MeasureSunVisibility(const Vec3& sun, DepthReadMode mode = DepthReadMode::OneBlock);

// A row's colour drifting towards orange (1, 0.5, 0) as the Sun is hidden.
std::array<float, 3> FlareColour(float r, float g, float b, double hidden);

class SunFlares {
public:
    // Load time: where each flare texture is not black, from its decoded
    // pixels; index 0 is "flare1.jpg".
    void SetFlareImage(std::size_t index, const uint8_t* rgb, int width, int height);
    const SpriteBounds& Bounds(std::size_t index) const { return bounds_.at(index); }

    // Right after the star field: puts light 0 at the Sun and draws the Sun as
    // an unlit white sphere that writes no depth. Leaves lighting, the depth
    // test and texturing on.
    static void DrawSun(const Vec3& sunPosition);

    // After the whole scene, with the camera's model-view matrix current.
    // Returns what was measured (nothing is drawn when the fade is 0).
    SunVisibility DrawLensFlares(const Vec3& sun, const SceneTextures& textures) const;

private:
    std::array<SpriteBounds, kFlareImageCount> bounds_ {};
};

} // namespace velmora
