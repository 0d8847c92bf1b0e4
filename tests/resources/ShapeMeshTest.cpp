#include "resources/ShapeMesh.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ResourceTestSupport.h"

namespace velmora {
namespace {

using test::Bytes;

// A mesh file of n triangles whose floats count up from base.
Bytes MeshFile(int32_t n, float base, std::size_t extraBytes = 0)
{
    Bytes file;
    test::PutU32(file, static_cast<uint32_t>(n));
    for (int32_t t = 0; t < (n > 0 ? n : 0); ++t)
        for (int f = 0; f < 24; ++f) {
            const float value = base + static_cast<float>(t * 24 + f);
            unsigned char raw[4];
            std::memcpy(raw, &value, 4);
            file.insert(file.end(), raw, raw + 4);
        }
    file.resize(file.size() + extraBytes, 0xEE);
    return file;
}

bool Load(ShapeMesh& mesh, const Bytes& file)
{
    return mesh.Load(file.data(), static_cast<long>(file.size()));
}

TEST(ShapeMeshTest, LoadsTrianglesAsStored)
{
    ShapeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshFile(3, 0.5f)));
    ASSERT_EQ(mesh.count, 3);
    ASSERT_NE(mesh.triangles, nullptr);
    const ShapeVertex& v = mesh.triangles[1].vertex[2];
    // Triangle 1, vertex 2 starts at float 24 + 16.
    EXPECT_FLOAT_EQ(v.position[0], 40.5f);
    EXPECT_FLOAT_EQ(v.normal[1], 44.5f);
    EXPECT_FLOAT_EQ(v.texCoord[1], 47.5f);
    EXPECT_FLOAT_EQ(mesh.triangles[2].vertex[2].texCoord[1], 71.5f);
}

TEST(ShapeMeshTest, ZeroTrianglesGiveAnEmptyMesh)
{
    ShapeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshFile(3, 0)));
    EXPECT_TRUE(Load(mesh, MeshFile(0, 0)));
    EXPECT_EQ(mesh.count, 0);
    EXPECT_EQ(mesh.triangles, nullptr);
}

TEST(ShapeMeshTest, LoadingTwiceKeepsOnlyTheSecondMesh)
{
    ShapeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshFile(5, 1000.0f)));
    ASSERT_TRUE(Load(mesh, MeshFile(2, 0.0f)));
    EXPECT_EQ(mesh.count, 2);
    EXPECT_FLOAT_EQ(mesh.triangles[0].vertex[0].position[0], 0.0f);
}

TEST(ShapeMeshTest, CountsTheDataCannotHoldFail)
{
    ShapeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshFile(2, 0)));
    // One triangle short, a count with no triangles, a negative count, and
    // too few bytes for the count itself: each leaves an empty mesh.
    Bytes shortFile = MeshFile(3, 0);
    shortFile.resize(shortFile.size() - 1);
    EXPECT_FALSE(Load(mesh, shortFile));
    EXPECT_EQ(mesh.count, 0);
    EXPECT_EQ(mesh.triangles, nullptr);

    Bytes claimsMore;
    test::PutU32(claimsMore, 0x7FFFFFFF);
    claimsMore.resize(4 + 96, 0);
    EXPECT_FALSE(Load(mesh, claimsMore));
    EXPECT_FALSE(Load(mesh, MeshFile(-1, 0, 96)));
    EXPECT_FALSE(Load(mesh, Bytes {1, 0, 0}));
    EXPECT_FALSE(mesh.Load(nullptr, 100));
    EXPECT_EQ(mesh.count, 0);
}

TEST(ShapeMeshTest, TrailingBytesAreIgnored)
{
    ShapeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshFile(1, 2.0f, 50)));
    EXPECT_EQ(mesh.count, 1);
    EXPECT_FLOAT_EQ(mesh.triangles[0].vertex[2].texCoord[1], 25.0f);
}

TEST(ShapeMeshTest, ReleaseEmptiesTheMesh)
{
    ShapeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshFile(4, 0)));
    mesh.Release();
    EXPECT_EQ(mesh.count, 0);
    EXPECT_EQ(mesh.triangles, nullptr);
    mesh.Release();
    EXPECT_EQ(mesh.count, 0);
}

} // namespace
} // namespace velmora
