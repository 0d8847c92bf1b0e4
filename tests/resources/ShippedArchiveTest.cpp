// The generated archive as the programs link it: every member the scene loads
// is present and decodes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "resources/ArchiveMembers.h"
#include "resources/DecodedImage.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "resources/ShapeMesh.h"

namespace velmora {
namespace {

bool PowerOfTwo(int32_t v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

class ShippedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(archive.Open(kArchiveResourceId)); }
    ResourceArchive archive;
};

// Exactly the listed members, in the listed order, each deflated.
TEST_F(ShippedArchiveTest, HoldsTheMemberListDeflated)
{
    ASSERT_EQ(archive.MemberCount(), static_cast<int32_t>(kArchiveMemberCount));
    for (int32_t i = 0; i < archive.MemberCount(); ++i) {
        EXPECT_EQ(
            std::string_view(archive.Member(i)->name), kArchiveMemberNames[static_cast<std::size_t>(i)]);
        EXPECT_EQ(archive.Member(i)->method, 8) << archive.Member(i)->name;
    }
}

TEST_F(ShippedArchiveTest, SceneImagesDecodeToPowerOfTwoRgb)
{
    for (const std::string_view member : kArchiveMemberNames) {
        if (!member.ends_with(".jpg"))
            continue;
        const char* name = member.data();
        DecodedImage image;
        ASSERT_TRUE(image.Load(archive, name)) << name;
        EXPECT_EQ(image.bitsPerPixel, 24) << name;
        EXPECT_TRUE(PowerOfTwo(image.width) && PowerOfTwo(image.height)) << name;
        EXPECT_LE(image.width, 1024) << name;
    }
}

TEST_F(ShippedArchiveTest, ShapeMeshesHaveTheirTriangleCountsAndUnitNormals)
{
    for (auto [member, count] :
        {std::pair {ArchiveMemberId::Phobos, 2208}, std::pair {ArchiveMemberId::Deimos, 742}}) {
        const char* name = ArchiveMemberName(member);
        HeapBlock bytes;
        const long size = archive.Extract(name, bytes);
        ASSERT_EQ(size, 4 + 96L * count) << name;
        ShapeMesh mesh;
        ASSERT_TRUE(mesh.Load(bytes.get(), size)) << name;
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
    EXPECT_GT(archive.Extract(ArchiveMemberName(ArchiveMemberId::Stars), bytes), 0);
}

} // namespace
} // namespace velmora
