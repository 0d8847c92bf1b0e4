#include "scene/SphereQuarterMesh.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

#include "scene/SceneGeometry.h"

namespace velmora {

namespace {

using Mapping = SphereQuarterMesh::Mapping;
using Pass = SphereQuarterMesh::Pass;

// Every way the quarter is drawn. Mirrored copies take the reversed cell
// order so all faces stay counter-clockwise seen from outside.
enum PassId : int {
    // Four textures, one per quarter (planet).
    kNorthEast,
    kNorthWest,
    kSouthEast,
    kSouthWest,
    // One equirectangular map over the full sphere (Titan).
    kMappedSouthEast,
    kMappedSouthWest,
    kMappedNorthEast,
    kMappedNorthWest,
    // Lower half only, coordinates projected along z (ring shadow).
    kPlanarEast,
    kPlanarWest,
    kPassIdCount
};

// clang-format off
constexpr std::array<Pass, kPassIdCount> kPasses{{
    { 1.0,  1.0,  1.0, Mapping::Direct,       false},
    {-1.0, -1.0,  1.0, Mapping::Direct,       false},
    { 1.0,  1.0, -1.0, Mapping::SouthFlip,    true},
    {-1.0, -1.0, -1.0, Mapping::SouthFlip,    true},
    { 1.0,  1.0, -1.0, Mapping::MapEast,      true},
    {-1.0, -1.0, -1.0, Mapping::MapWest,      true},
    { 1.0,  1.0,  1.0, Mapping::MapNorthEast, false},
    {-1.0, -1.0,  1.0, Mapping::MapNorthWest, false},
    { 1.0,  1.0, -1.0, Mapping::PlanarPlus,   true},
    {-1.0, -1.0, -1.0, Mapping::PlanarPlus,   true},
}};
// clang-format on
static_assert(kPasses.size() == kPassIdCount);
static_assert(kPassIdCount == SphereQuarterMesh::kPassCount);

void TexCoordOf(const MeshVertex& m, const Pass& pass, double& s, double& t)
{
    switch (pass.mapping) {
    case Mapping::Direct:
        s = m.u;
        t = m.v;
        return;
    case Mapping::SouthFlip:
        s = m.u;
        t = 1.0 - m.v;
        return;
    // The southern t values land in 1.0005..1.4995 and rely on repeat wrapping.
    case Mapping::MapEast:
        s = (m.u + 1.0) * 0.5;
        t = 1.5 - m.v * 0.5;
        return;
    case Mapping::MapWest:
        s = m.u * 0.5;
        t = 1.5 - m.v * 0.5;
        return;
    case Mapping::MapNorthEast:
        s = (m.u + 1.0) * 0.5;
        t = (m.v + 1.0) * 0.5;
        return;
    case Mapping::MapNorthWest:
        s = m.u * 0.5;
        t = (m.v + 1.0) * 0.5;
        return;
    case Mapping::PlanarPlus:
        s = m.position.x * pass.sx + 0.5;
        t = m.position.y * pass.sy + 0.5;
        return;
    }
    s = t = 0.0;
}

} // namespace

void SphereQuarterMesh::FreeDeleter::operator()(MeshVertex* p) const noexcept
{
    std::free(p);
}

bool SphereQuarterMesh::Build(double radius, int columns, int rows)
{
    if (columns <= 0 || rows <= 0 || !(radius > 0.0))
        return false;
    const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    if (count > SIZE_MAX / sizeof(MeshVertex)) {
        *this = SphereQuarterMesh {};
        return false;
    }
    if (vertices_ && count > capacity_) {
        vertices_.reset();
        capacity_ = 0;
    }
    columns_ = columns;
    rows_ = rows;
    if (!vertices_) {
        vertices_.reset(static_cast<MeshVertex*>(std::malloc(count * sizeof(MeshVertex))));
        if (!vertices_) {
            columns_ = rows_ = 0;
            capacity_ = 0;
            return false;
        }
        capacity_ = count;
    }
    for (auto& c : cache_)
        c.clear();

    constexpr double pi = std::numbers::pi;
    // A single column or row has no step (and no division by zero).
    const double lonStep = columns > 1 ? pi / (columns - 1) : 0.0;
    const double latStep = rows > 1 ? pi / (2 * rows - 2) : 0.0;
    // The angles accumulate by repeated addition, as the grid was always
    // built; the counters only keep rounding from stepping past the array.
    double lat = 0.0;
    for (int i = 0; i < rows; ++i, lat += latStep) {
        double lon = -pi / 2.0;
        for (int j = 0; j < columns; ++j, lon += lonStep) {
            MeshVertex& m = vertices_[static_cast<std::size_t>(i) * columns + j];
            m.position.x = radius * std::cos(lat) * std::cos(lon);
            m.position.y = radius * std::cos(lat) * std::sin(lon);
            m.position.z = radius * std::sin(lat);
            m.normal = m.position;
            m.u = lon / pi * kMeshLongitudeScale + 0.5;
            m.v = lat / pi * kMeshLatitudeScale + kMeshLatitudeOffset;
        }
    }
    return true;
}

std::vector<SphereQuarterMesh::StreamVertex> SphereQuarterMesh::ExpandPass(const Pass& pass) const
{
    std::vector<StreamVertex> out;
    if (Empty() || rows_ < 2 || columns_ < 2)
        return out;
    out.reserve(static_cast<std::size_t>(rows_ - 1) * static_cast<std::size_t>(columns_ - 1) * 4);
    auto emit = [&](int i, int j) {
        const MeshVertex& m = At(i, j);
        double s = 0.0;
        double t = 0.0;
        TexCoordOf(m, pass, s, t);
        out.push_back({static_cast<float>(s), static_cast<float>(t), static_cast<float>(m.normal.x * pass.sx),
            static_cast<float>(m.normal.y * pass.sy), static_cast<float>(m.normal.z * pass.sz),
            static_cast<float>(m.position.x * pass.sx), static_cast<float>(m.position.y * pass.sy),
            static_cast<float>(m.position.z * pass.sz)});
    };
    for (int i = 0; i + 1 < rows_; ++i) {
        for (int j = 0; j + 1 < columns_; ++j) {
            if (pass.reversed) {
                emit(i + 1, j);
                emit(i + 1, j + 1);
                emit(i, j + 1);
                emit(i, j);
            } else {
                emit(i, j);
                emit(i, j + 1);
                emit(i + 1, j + 1);
                emit(i + 1, j);
            }
        }
    }
    return out;
}

void SphereQuarterMesh::DrawPasses(int first, int count, const GLuint* textures) const
{
    // The client arrays are ours for the length of the draw only.
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    for (int k = 0; k < count; ++k) {
        const int id = first + k;
        std::vector<StreamVertex>& stream = cache_[id];
        if (stream.empty())
            stream = ExpandPass(kPasses[id]);
        if (textures)
            glBindTexture(GL_TEXTURE_2D, textures[k]);
        if (stream.empty())
            continue;
        static_assert(sizeof(StreamVertex) == 8 * sizeof(float), "matches GL_T2F_N3F_V3F");
        glInterleavedArrays(GL_T2F_N3F_V3F, 0, stream.data());
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(stream.size()));
    }
    glPopClientAttrib();
}

bool SphereQuarterMesh::DrawFourTextures(const GLuint textures[4]) const
{
    if (Empty())
        return false;
    // Pass k binds textures[3 - k]: "surface3" on the northern x >= 0 quarter
    // down to "surface0" on the southern x <= 0 one.
    const GLuint order[4] = {textures[3], textures[2], textures[1], textures[0]};
    DrawPasses(kNorthEast, 4, order);
    return true;
}

bool SphereQuarterMesh::DrawMapped(bool planar) const
{
    if (Empty())
        return false;
    if (planar)
        DrawPasses(kPlanarEast, 2, nullptr);
    else
        DrawPasses(kMappedSouthEast, 4, nullptr);
    return true;
}

} // namespace velmora
