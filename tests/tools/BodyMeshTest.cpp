// Small-body meshes: counts and sizes, unit normals, winding, closure and the
// ranges the scene relies on.

#include "BodyMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <stdexcept>
#include <tuple>

namespace velmora::art {
namespace {

using V3 = std::array<double, 3>;

V3 ToV3(const std::array<float, 3>& a)
{
    return {a[0], a[1], a[2]};
}
V3 Sub(const V3& a, const V3& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double Dot(const V3& a, const V3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
V3 Cross(const V3& a, const V3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Length(const V3& a)
{
    return std::sqrt(Dot(a, a));
}

struct Expected {
    const char* name;
    BodyShape (*shape)();
    int triangles;
    size_t bytes;
    double minDistance;
    double maxDistance;
    double minU;
    double maxU;
    double minV;
    double maxV;
};

constexpr Expected kBodies[] = {
    {"phobos2.dat", PhobosShape, 2208, 211972, 0.66, 1.01, -0.36, 1.66, 0.01, 0.99},
    {"deimos.dat", DeimosShape, 742, 71236, 0.54, 1.07, -0.12, 1.00, 0.02, 0.97},
};

class BodyMeshTest : public ::testing::TestWithParam<Expected> {
protected:
    void SetUp() override { mesh = MakeBodyMesh(GetParam().shape()); }
    std::vector<BodyTriangle> mesh;
};

TEST_P(BodyMeshTest, TriangleCountAndEncodedSize)
{
    const Expected& e = GetParam();
    EXPECT_EQ(static_cast<int>(mesh.size()), e.triangles);
    const std::vector<uint8_t> bytes = EncodeBodyMesh(mesh);
    ASSERT_EQ(bytes.size(), e.bytes);
    const uint32_t count = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    EXPECT_EQ(count, static_cast<uint32_t>(e.triangles));
}

TEST_P(BodyMeshTest, EncodingIsLittleEndianFloatsInFieldOrder)
{
    const std::vector<uint8_t> bytes = EncodeBodyMesh(mesh);
    auto floatAt = [&](size_t offset) {
        const uint32_t bits = bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16
            | static_cast<uint32_t>(bytes[offset + 3]) << 24;
        return std::bit_cast<float>(bits);
    };
    // Second triangle, third vertex: 4 + 96 + 64 bytes in.
    const BodyVertex& v = mesh.at(1)[2];
    const size_t at = 4 + 96 + 64;
    EXPECT_EQ(floatAt(at + 0), v.position[0]);
    EXPECT_EQ(floatAt(at + 4), v.position[1]);
    EXPECT_EQ(floatAt(at + 8), v.position[2]);
    EXPECT_EQ(floatAt(at + 12), v.normal[0]);
    EXPECT_EQ(floatAt(at + 16), v.normal[1]);
    EXPECT_EQ(floatAt(at + 20), v.normal[2]);
    EXPECT_EQ(floatAt(at + 24), v.u);
    EXPECT_EQ(floatAt(at + 28), v.v);
}

TEST_P(BodyMeshTest, NormalsHaveUnitLength)
{
    for (const BodyTriangle& t : mesh) {
        for (const BodyVertex& v : t) {
            ASSERT_NEAR(Length(ToV3(v.normal)), 1.0, 1e-5);
        }
    }
}

TEST_P(BodyMeshTest, FacesWindCounterClockwiseSeenFromOutside)
{
    for (size_t i = 0; i < mesh.size(); ++i) {
        const V3 a = ToV3(mesh[i][0].position);
        const V3 b = ToV3(mesh[i][1].position);
        const V3 c = ToV3(mesh[i][2].position);
        const V3 n = Cross(Sub(b, a), Sub(c, a));
        ASSERT_GT(Length(n), 0.0) << "degenerate triangle " << i;
        for (const BodyVertex& v : mesh[i]) {
            ASSERT_GT(Dot(n, ToV3(v.normal)), 0.0) << "triangle " << i;
        }
        // Outward: the face normal points away from the centre.
        const V3 centroid {(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3};
        ASSERT_GT(Dot(n, centroid), 0.0) << "triangle " << i;
    }
}

TEST_P(BodyMeshTest, SurfaceIsClosedAndConsistentlyOriented)
{
    // Each directed edge is used once and its reverse exactly once: no holes,
    // no flipped face.
    using Key = std::tuple<float, float, float>;
    std::map<std::pair<Key, Key>, int> edges;
    for (const BodyTriangle& t : mesh) {
        for (size_t k = 0; k < 3; ++k) {
            const auto& p = t[k].position;
            const auto& q = t[(k + 1) % 3].position;
            ++edges[{Key {p[0], p[1], p[2]}, Key {q[0], q[1], q[2]}}];
        }
    }
    EXPECT_EQ(edges.size(), mesh.size() * 3);
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1);
        const auto reverse = edges.find({edge.second, edge.first});
        ASSERT_NE(reverse, edges.end());
    }
}

TEST_P(BodyMeshTest, DistanceAndTextureRanges)
{
    const Expected& e = GetParam();
    double dMin = 1e9, dMax = -1e9, uMin = 1e9, uMax = -1e9, vMin = 1e9, vMax = -1e9;
    for (const BodyTriangle& t : mesh) {
        for (const BodyVertex& v : t) {
            const double d = Length(ToV3(v.position));
            dMin = std::min(dMin, d);
            dMax = std::max(dMax, d);
            uMin = std::min<double>(uMin, v.u);
            uMax = std::max<double>(uMax, v.u);
            vMin = std::min<double>(vMin, v.v);
            vMax = std::max<double>(vMax, v.v);
        }
    }
    EXPECT_NEAR(dMin, e.minDistance, 1e-4);
    EXPECT_NEAR(dMax, e.maxDistance, 1e-4);
    EXPECT_NEAR(uMin, e.minU, 1e-4);
    EXPECT_NEAR(uMax, e.maxU, 1e-4);
    EXPECT_NEAR(vMin, e.minV, 0.02);
    EXPECT_NEAR(vMax, e.maxV, 0.02);
    EXPECT_GE(vMin, e.minV - 1e-5);
    EXPECT_LE(vMax, e.maxV + 1e-5);
    // The texture must repeat in u.
    EXPECT_LT(uMin, 0.0);
}

TEST_P(BodyMeshTest, CratersLeaveHollowsInTheSurface)
{
    // A hollow: a vertex nearer the centre than every vertex it shares a face with.
    using Key = std::tuple<float, float, float>;
    std::map<Key, double> radius;
    std::map<Key, double> nearestNeighbour;
    for (const BodyTriangle& t : mesh) {
        for (size_t k = 0; k < 3; ++k) {
            const auto& p = t[k].position;
            const Key key {p[0], p[1], p[2]};
            radius[key] = Length(ToV3(p));
            for (size_t j = 1; j < 3; ++j) {
                const double other = Length(ToV3(t[(k + j) % 3].position));
                auto [it, inserted] = nearestNeighbour.try_emplace(key, other);
                if (!inserted) {
                    it->second = std::min(it->second, other);
                }
            }
        }
    }
    int hollows = 0;
    for (const auto& [key, r] : radius) {
        hollows += r < nearestNeighbour[key] ? 1 : 0;
    }
    EXPECT_GE(hollows, 3);
}

TEST_P(BodyMeshTest, SameMeshEveryTime)
{
    const std::vector<uint8_t> again = EncodeBodyMesh(MakeBodyMesh(GetParam().shape()));
    EXPECT_EQ(again, EncodeBodyMesh(mesh));
}

INSTANTIATE_TEST_SUITE_P(Bodies, BodyMeshTest, ::testing::ValuesIn(kBodies),
    [](const ::testing::TestParamInfo<Expected>& info) { return std::string(info.param.name).substr(0, 6); });

TEST(BodyMesh, RefusesShapesThatCannotCloseOrHaveNoRadiusRange)
{
    BodyShape odd = PhobosShape();
    odd.triangles = 2207;
    EXPECT_THROW(MakeBodyMesh(odd), std::runtime_error);
    BodyShape tiny = PhobosShape();
    tiny.triangles = 4;
    EXPECT_THROW(MakeBodyMesh(tiny), std::runtime_error);
    BodyShape flat = PhobosShape();
    flat.maxRadius = flat.minRadius;
    EXPECT_THROW(MakeBodyMesh(flat), std::runtime_error);
}

TEST(BodyMesh, AnyEvenCountGivesExactlyThatManyTriangles)
{
    for (int n : {6, 8, 20, 96, 500, 1000}) {
        BodyShape s = DeimosShape();
        s.triangles = n;
        s.craters = 2;
        EXPECT_EQ(MakeBodyMesh(s).size(), static_cast<size_t>(n)) << n;
    }
}

} // namespace
} // namespace velmora::art
