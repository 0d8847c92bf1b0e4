#pragma once
// Lumpy, cratered small bodies written as shape mesh members ("phobos2.dat",
// "deimos.dat"): an int32 triangle count, then per triangle three vertices of
// eight little-endian floats (position, normal, texture u v).

#include <array>
#include <cstdint>
#include <vector>

namespace velmora::art {

struct BodyVertex {
    std::array<float, 3> position {};
    std::array<float, 3> normal {};
    float u = 0.0f;
    float v = 0.0f;
};

using BodyTriangle = std::array<BodyVertex, 3>;

inline constexpr int kBodyVertexBytes = 32;
inline constexpr int kBodyTriangleBytes = 3 * kBodyVertexBytes;
static_assert(sizeof(BodyVertex) == kBodyVertexBytes);

// What a generated body must satisfy; the scene and the loader rely on it.
struct BodyShape {
    uint32_t seed = 0;
    int triangles = 0; // even, at least 6 (a closed sphere has 2V - 4 faces)
    std::array<double, 3> axes; // ellipsoid semi-axes before the radius range is applied
    double lumpiness = 0.0; // relative amplitude of the large-scale irregularity
    int craters = 0; // count of random craters
    double biggestCrater = 0.0; // angular radius (radians) of the largest one
    double minRadius = 0.0; // vertex distances from the origin span exactly this range
    double maxRadius = 0.0;
    double minU = 0.0; // u runs from minU at longitude 0 to maxU at the full turn
    double maxU = 0.0;
    double minV = 0.0; // v runs from minV at the south pole to maxV at the north pole
    double maxV = 0.0;
};

BodyShape PhobosShape();
BodyShape DeimosShape();

// Builds the body: unit normals, counter-clockwise faces seen from outside,
// no vertex shared between triangles. Throws std::runtime_error when the
// shape cannot satisfy those rules (bad parameters).
std::vector<BodyTriangle> MakeBodyMesh(const BodyShape& shape);

// The member bytes: 4 + 96 x N.
std::vector<uint8_t> EncodeBodyMesh(const std::vector<BodyTriangle>& triangles);

} // namespace velmora::art
