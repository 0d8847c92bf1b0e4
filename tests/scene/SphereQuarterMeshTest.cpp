#include "scene/SphereQuarterMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace velmora {
namespace {

using Pass = SphereQuarterMesh::Pass;
using Mapping = SphereQuarterMesh::Mapping;

constexpr double kTol = 1e-9;

TEST(SphereQuarterMeshBuild, PlanetGridCornersAndPole)
{
    SphereQuarterMesh mesh;
    ASSERT_TRUE(mesh.Build(1.0, 31, 21));
    EXPECT_EQ(mesh.Columns(), 31);
    EXPECT_EQ(mesh.Rows(), 21);

    const MeshVertex& first = mesh.At(0, 0);
    EXPECT_NEAR(first.position.x, 0.0, kTol);
    EXPECT_NEAR(first.position.y, -1.0, kTol);
    EXPECT_NEAR(first.position.z, 0.0, kTol);
    EXPECT_NEAR(first.u, 0.001, kTol);
    EXPECT_NEAR(first.v, 0.001, kTol);

    const MeshVertex& middle = mesh.At(0, 15);
    EXPECT_NEAR(middle.position.x, 1.0, kTol);
    EXPECT_NEAR(middle.position.y, 0.0, kTol);
    EXPECT_NEAR(middle.position.z, 0.0, kTol);
    EXPECT_NEAR(middle.u, 0.5, kTol);

    const MeshVertex& last = mesh.At(0, 30);
    EXPECT_NEAR(last.position.y, 1.0, kTol);
    EXPECT_NEAR(last.u, 0.999, kTol);

    for (int j = 0; j < 31; ++j) {
        const MeshVertex& pole = mesh.At(20, j);
        EXPECT_NEAR(pole.position.x, 0.0, kTol);
        EXPECT_NEAR(pole.position.y, 0.0, kTol);
        EXPECT_NEAR(pole.position.z, 1.0, kTol);
        EXPECT_NEAR(pole.v, 0.999, kTol);
    }
    // Row 10 lies at 45 degrees of latitude (4.5-degree steps).
    EXPECT_NEAR(mesh.At(10, 15).position.z, std::sin(M_PI / 4), kTol);
}

TEST(SphereQuarterMeshBuild, NormalsEqualPositionsAndRadiusScales)
{
    SphereQuarterMesh mesh;
    ASSERT_TRUE(mesh.Build(0.5, 31, 21));
    for (int i = 0; i < 21; ++i) {
        for (int j = 0; j < 31; ++j) {
            const MeshVertex& m = mesh.At(i, j);
            EXPECT_EQ(m.normal.x, m.position.x);
            EXPECT_EQ(m.normal.y, m.position.y);
            EXPECT_EQ(m.normal.z, m.position.z);
            EXPECT_NEAR(Length(m.position), 0.5, kTol);
            EXPECT_GE(m.position.x, -kTol); // the quarter spans x >= 0, z >= 0
            EXPECT_GE(m.position.z, -kTol);
        }
    }
}

TEST(SphereQuarterMeshBuild, RejectsBadArgumentsAndKeepsTheMesh)
{
    SphereQuarterMesh mesh;
    EXPECT_FALSE(mesh.Build(1.0, 0, 21));
    EXPECT_FALSE(mesh.Build(1.0, 31, -1));
    EXPECT_FALSE(mesh.Build(0.0, 31, 21));
    EXPECT_FALSE(mesh.Build(-1.0, 31, 21));
    EXPECT_FALSE(mesh.Build(std::nan(""), 31, 21));
    EXPECT_TRUE(mesh.Empty());

    ASSERT_TRUE(mesh.Build(1.0, 31, 21));
    const MeshVertex* data = mesh.Data();
    EXPECT_FALSE(mesh.Build(1.0, 0, 0));
    EXPECT_EQ(mesh.Data(), data);
    EXPECT_EQ(mesh.Columns(), 31);
    EXPECT_EQ(mesh.Rows(), 21);
}

TEST(SphereQuarterMeshBuild, SmallerGridReusesTheArrayLargerReplacesIt)
{
    SphereQuarterMesh mesh;
    ASSERT_TRUE(mesh.Build(1.0, 31, 21));
    const MeshVertex* big = mesh.Data();
    ASSERT_TRUE(mesh.Build(1.0, 5, 4));
    EXPECT_EQ(mesh.Data(), big);
    EXPECT_EQ(mesh.Columns(), 5);
    EXPECT_EQ(mesh.Rows(), 4);
    EXPECT_NEAR(mesh.At(3, 4).position.z, 1.0, kTol);
    EXPECT_NEAR(mesh.At(0, 4).position.y, 1.0, kTol);

    SphereQuarterMesh small;
    ASSERT_TRUE(small.Build(1.0, 3, 3));
    ASSERT_TRUE(small.Build(1.0, 31, 21));
    EXPECT_NEAR(small.At(20, 30).position.z, 1.0, kTol);
    EXPECT_NEAR(small.At(0, 30).position.y, 1.0, kTol);
}

TEST(SphereQuarterMeshBuild, DegenerateSingleRowOrColumnStaysFinite)
{
    SphereQuarterMesh mesh;
    ASSERT_TRUE(mesh.Build(1.0, 1, 1));
    EXPECT_NEAR(mesh.At(0, 0).position.y, -1.0, kTol);
    ASSERT_TRUE(mesh.Build(1.0, 1, 5));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(std::isfinite(mesh.At(i, 0).position.z));
    // Nothing to make quads of.
    EXPECT_TRUE(mesh.ExpandPass({1, 1, 1, Mapping::Direct, false}).empty());
}

TEST(SphereQuarterMeshDraw, EmptyMeshDrawsNothingAndSaysSo)
{
    const SphereQuarterMesh mesh;
    const GLuint textures[4] = {1, 2, 3, 4};
    EXPECT_FALSE(mesh.DrawFourTextures(textures));
    EXPECT_FALSE(mesh.DrawMapped(false));
    EXPECT_FALSE(mesh.DrawMapped(true));
}

// Outward-facing: the quad's counter-clockwise normal points away from the
// centre, so back-face culling keeps the outside.
void ExpectOutwardCcw(const std::vector<SphereQuarterMesh::StreamVertex>& quads)
{
    ASSERT_EQ(quads.size() % 4, 0u);
    int checked = 0;
    for (std::size_t q = 0; q < quads.size(); q += 4) {
        const auto& a = quads[q];
        const auto& b = quads[q + 1];
        const auto& c = quads[q + 3];
        // Degenerate cells at the pole have two equal corners; use the two
        // edges from the first corner that differ.
        const double e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
        const double e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
        const double n[3]
            = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (len < 1e-9)
            continue;
        const double cx = (a.x + quads[q + 2].x) / 2;
        const double cy = (a.y + quads[q + 2].y) / 2;
        const double cz = (a.z + quads[q + 2].z) / 2;
        EXPECT_GT(n[0] * cx + n[1] * cy + n[2] * cz, 0.0) << "quad " << q / 4;
        ++checked;
    }
    EXPECT_GT(checked, 500);
}

TEST(SphereQuarterMeshStream, EveryPassEmitsOneQuadPerCellFacingOutwards)
{
    SphereQuarterMesh mesh;
    ASSERT_TRUE(mesh.Build(1.0, 31, 21));
    const Pass passes[] = {{1, 1, 1, Mapping::Direct, false}, {-1, -1, 1, Mapping::Direct, false},
        {1, 1, -1, Mapping::SouthFlip, true}, {-1, -1, -1, Mapping::SouthFlip, true},
        {1, 1, -1, Mapping::PlanarPlus, true}};
    for (const Pass& p : passes) {
        const auto quads = mesh.ExpandPass(p);
        EXPECT_EQ(quads.size(), 30u * 20u * 4u);
        ExpectOutwardCcw(quads);
    }
}

TEST(SphereQuarterMeshStream, CellOrderAndTextureMappingsFollowThePass)
{
    SphereQuarterMesh mesh;
    ASSERT_TRUE(mesh.Build(1.0, 31, 21));
    // Forward: (0,0), (0,1), (1,1), (1,0) with (u, v).
    const auto north = mesh.ExpandPass({1, 1, 1, Mapping::Direct, false});
    EXPECT_FLOAT_EQ(north[0].y, static_cast<float>(mesh.At(0, 0).position.y));
    EXPECT_FLOAT_EQ(north[1].y, static_cast<float>(mesh.At(0, 1).position.y));
    EXPECT_FLOAT_EQ(north[2].z, static_cast<float>(mesh.At(1, 1).position.z));
    EXPECT_FLOAT_EQ(north[0].s, 0.001f);
    EXPECT_FLOAT_EQ(north[0].t, 0.001f);
    // Reversed and mirrored: (1,0) first, position and normal negated.
    const auto south = mesh.ExpandPass({-1, -1, -1, Mapping::SouthFlip, true});
    const MeshVertex& m10 = mesh.At(1, 0);
    EXPECT_FLOAT_EQ(south[0].x, static_cast<float>(-m10.position.x));
    EXPECT_FLOAT_EQ(south[0].nz, static_cast<float>(-m10.normal.z));
    EXPECT_FLOAT_EQ(south[0].t, static_cast<float>(1.0 - m10.v));
    // Equirectangular south east: s in 0.5..1, t read through repeat.
    const auto east = mesh.ExpandPass({1, 1, -1, Mapping::MapEast, true});
    EXPECT_FLOAT_EQ(east[0].s, static_cast<float>((m10.u + 1.0) * 0.5));
    EXPECT_FLOAT_EQ(east[0].t, static_cast<float>(1.5 - m10.v * 0.5));
    const auto northWest = mesh.ExpandPass({-1, -1, 1, Mapping::MapNorthWest, false});
    EXPECT_FLOAT_EQ(northWest[0].s, static_cast<float>(mesh.At(0, 0).u * 0.5));
    EXPECT_FLOAT_EQ(northWest[0].t, static_cast<float>((mesh.At(0, 0).v + 1.0) * 0.5));
    // Planar: the drawn position's x and y plus 0.5, for either mirror.
    const auto west = mesh.ExpandPass({-1, -1, -1, Mapping::PlanarPlus, true});
    for (std::size_t k = 0; k < west.size(); k += 97) {
        EXPECT_NEAR(west[k].s, west[k].x + 0.5f, 1e-6);
        EXPECT_NEAR(west[k].t, west[k].y + 0.5f, 1e-6);
    }
}

TEST(SphereQuarterMeshStream, FourQuartersMeetWithoutGaps)
{
    SphereQuarterMesh mesh;
    ASSERT_TRUE(mesh.Build(1.0, 31, 21));
    const Pass quarters[] = {{1, 1, 1, Mapping::Direct, false}, {-1, -1, 1, Mapping::Direct, false},
        {1, 1, -1, Mapping::SouthFlip, true}, {-1, -1, -1, Mapping::SouthFlip, true}};
    // Every edge of the closed sphere is used by exactly two quads (once in
    // each direction); a gap would leave an edge used once.
    using Key = std::tuple<long, long, long>;
    auto key = [](const SphereQuarterMesh::StreamVertex& v) {
        return Key {std::lround(v.x * 1e5), std::lround(v.y * 1e5), std::lround(v.z * 1e5)};
    };
    std::map<std::pair<Key, Key>, int> directed;
    for (const Pass& p : quarters) {
        const auto quads = mesh.ExpandPass(p);
        for (std::size_t q = 0; q < quads.size(); q += 4) {
            for (int e = 0; e < 4; ++e) {
                const Key a = key(quads[q + e]);
                const Key b = key(quads[q + (e + 1) % 4]);
                if (a != b)
                    ++directed[{a, b}];
            }
        }
    }
    int unmatched = 0;
    for (const auto& [edge, count] : directed) {
        const auto back = directed.find({edge.second, edge.first});
        if (back == directed.end() || back->second != count)
            ++unmatched;
    }
    EXPECT_EQ(unmatched, 0);
}

} // namespace
} // namespace velmora
