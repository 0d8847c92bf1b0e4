#pragma once

#include <cstdint>
#include <memory>

#include "resources/HeapBlock.h"

namespace velmora {

// One vertex of a shape mesh file: eight little-endian 32-bit floats.
struct ShapeVertex {
    float position[3];
    float normal[3];
    float texCoord[2]; // u runs outside 0..1: the texture repeats in u
};
static_assert(sizeof(ShapeVertex) == 32);

// Three vertices, wound counter-clockwise seen from outside.
struct ShapeTriangle {
    ShapeVertex vertex[3];
};
static_assert(sizeof(ShapeTriangle) == 96);

// A triangle mesh of a small irregular body, stored exactly as in its file:
// an int32 count N followed by N triangles.
class ShapeMesh {
public:
    ShapeMesh() = default;
    virtual ~ShapeMesh();
    ShapeMesh(const ShapeMesh&) = delete;
    ShapeMesh& operator=(const ShapeMesh&) = delete;

    // Copies the mesh out of a whole member; does not keep the pointer.
    // N = 0 gives an empty mesh. False when N is negative, needs more bytes
    // than size, or the array cannot be allocated; the mesh is then empty.
    bool Load(const void* bytes, long size);

    // Frees the triangle array and sets the count to 0.
    void Release();

    int32_t count = 0;
    std::unique_ptr<ShapeTriangle[], FreeDeleter> triangles;
};

} // namespace velmora
