// The generated archive as the programs link it: every member the scene loads
// is present and decodes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/DecodedImage.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "resources/ShapeMesh.h"

namespace velmora {
namespace {

std::vector<std::string> SceneImages()
{
    std::vector<std::string> names;
    char name[32];
    for (int i = 1; i <= 10; ++i) {
        std::snprintf(name, sizeof name, "flare%d.jpg", i);
        names.emplace_back(name);
    }
    for (const char* n : {"rings.jpg", "rings_mask.jpg", "spots_black.jpg", "spots_white.jpg",
             "shadow_on_ring.jpg", "rings_shadow.jpg"})
        names.emplace_back(n);
    for (int i = 0; i <= 3; ++i) {
        std::snprintf(name, sizeof name, "surface%d.jpg", i);
        names.emplace_back(name);
    }
    names.emplace_back("titan.jpg");
    return names;
}

bool PowerOfTwo(int32_t v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

class ShippedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(archive.Open(kArchiveResourceId), 1); }
    ResourceArchive archive;
};

TEST_F(ShippedArchiveTest, EveryMemberIsDeflated)
{
    ASSERT_GE(archive.MemberCount(), 24);
    for (int32_t i = 0; i < archive.MemberCount(); ++i)
        EXPECT_EQ(archive.Member(i)->method, 8) << archive.Member(i)->name;
}

TEST_F(ShippedArchiveTest, SceneImagesDecodeToPowerOfTwoRgb)
{
    for (const std::string& name : SceneImages()) {
        DecodedImage image;
        ASSERT_EQ(image.Load(archive, name.c_str()), 1) << name;
        EXPECT_EQ(image.bitsPerPixel, 24) << name;
        EXPECT_TRUE(PowerOfTwo(image.width) && PowerOfTwo(image.height)) << name;
        EXPECT_LE(image.width, 1024) << name;
    }
}

TEST_F(ShippedArchiveTest, ShapeMeshesHaveTheirTriangleCountsAndUnitNormals)
{
    for (auto [name, count] : {std::pair {"phobos2.dat", 2208}, std::pair {"deimos.dat", 742}}) {
        HeapBlock bytes;
        const long size = archive.Extract(name, bytes);
        ASSERT_EQ(size, 4 + 96L * count) << name;
        ShapeMesh mesh;
        ASSERT_EQ(mesh.Load(bytes.get(), size), 1) << name;
        EXPECT_EQ(mesh.count, count);
        for (int32_t t = 0; t < mesh.count; ++t)
            for (const ShapeVertex& v : mesh.triangles[t].vertex) {
                const double length = std::sqrt(double(v.normal[0]) * v.normal[0]
                    + double(v.normal[1]) * v.normal[1] + double(v.normal[2]) * v.normal[2]);
                ASSERT_NEAR(length, 1.0, 1e-3) << name << " triangle " << t;
            }
    }
}

TEST_F(ShippedArchiveTest, StarCatalogueExtracts)
{
    HeapBlock bytes;
    EXPECT_GT(archive.Extract("stars.dat", bytes), 0);
}

} // namespace
} // namespace velmora
