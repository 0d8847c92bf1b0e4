#pragma once
// A quarter of a sphere (x >= 0, z >= 0) as a latitude/longitude grid; every
// spherical body is drawn as mirrored or rotated copies of it.

#include "scene/GlApi.h"

#include "camera/Vec3.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

struct MeshVertex {
    Vec3 position;
    Vec3 normal; // equal to the position
    double u, v; // texture coordinates
};
static_assert(sizeof(MeshVertex) == 64);

class SphereQuarterMesh {
public:
    // Fills columns x rows vertices; latitude 0..pi/2 by rows, longitude
    // -pi/2..pi/2 by columns. Fails, leaving the mesh unchanged, for
    // non-positive arguments; on allocation failure the mesh becomes empty.
    // A grid no larger than the current array reuses it.
    bool Build(double radius, int columns, int rows);

    // A full sphere, one quarter per texture: textures[3] north x >= 0,
    // [2] north x <= 0, [1] south x >= 0, [0] south x <= 0.
    bool DrawFourTextures(const GLuint textures[4]) const;

    // With the bound texture. planar false: the full sphere with one
    // equirectangular map. planar true: the half z <= 0 with coordinates
    // projected along z (x + 0.5, y + 0.5).
    bool DrawMapped(bool planar) const;

    bool Empty() const { return vertices_ == nullptr; }
    int32_t Columns() const { return columns_; }
    int32_t Rows() const { return rows_; }
    // Vertex (i, j): latitude index i, longitude index j.
    const MeshVertex& At(int i, int j) const { return vertices_[static_cast<std::size_t>(i) * columns_ + j]; }
    const MeshVertex* Data() const { return vertices_.get(); }

    // How a pass mirrors the quarter and where its texture coordinates come
    // from; public so the expanded vertex stream can be checked in tests.
    enum class Mapping : uint8_t {
        Direct, // (u, v)
        SouthFlip, // (u, 1 - v)
        MapEast, // ((u + 1) / 2, 1.5 - v / 2)
        MapWest, // (u / 2, 1.5 - v / 2)
        MapNorthEast, // ((u + 1) / 2, (v + 1) / 2)
        MapNorthWest, // (u / 2, (v + 1) / 2)
        PlanarPlus, // (x + 0.5, y + 0.5) of the drawn position
    };
    struct Pass {
        double sx, sy, sz; // sign applied to position and normal
        Mapping mapping;
        bool reversed; // cell order for mirrored copies (keeps CCW winding)
    };

    // One float vertex of the expanded quad stream, in GL's T2F_N3F_V3F
    // interleaved layout (hence floats, not Vec3).
    struct StreamVertex {
        float s, t;
        float nx, ny, nz;
        float x, y, z;
    };
    // The quads of one pass, four vertices per grid cell, in the cell order
    // and vertex order of the immediate-mode description.
    std::vector<StreamVertex> ExpandPass(const Pass& pass) const;

    // Ways the quarter is drawn (the pass table in the source has this many rows).
    static constexpr int kPassCount = 10;

private:
    struct FreeDeleter {
        void operator()(MeshVertex* p) const noexcept;
    };
    // Draws passes [first, first + count) of the pass table, binding
    // textures[k] before pass k when textures is given.
    void DrawPasses(int first, int count, const GLuint* textures) const;

    int32_t columns_ = 0;
    int32_t rows_ = 0;
    std::size_t capacity_ = 0; // vertices the array can hold
    std::unique_ptr<MeshVertex[], FreeDeleter> vertices_;

    // Expanded streams per pass, filled on first draw after each Build;
    // immediate mode would cost 9600 calls per sphere per frame on a
    // software rasteriser.
    mutable std::vector<StreamVertex> cache_[kPassCount];
};

} // namespace velmora
