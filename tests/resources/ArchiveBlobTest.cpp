// This program links an archive the way the shipped programs link theirs:
// through an archive blob object, found as resource "rfile" 152.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "resources/DecodedImage.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "resources/ShapeMesh.h"

namespace velmora {
namespace {

std::vector<unsigned char> ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ArchiveBlobTest, LinkedArchiveIsResourceRfile152)
{
    const std::vector<unsigned char> file = ReadFile(VELMORA_TEST_BLOB_FILE);
    ASSERT_FALSE(file.empty());
    const ResourceBytes linked = FindProgramResource("rfile", 152);
    ASSERT_NE(linked.data, nullptr);
    ASSERT_EQ(linked.size, file.size());
    EXPECT_EQ(std::memcmp(linked.data, file.data(), file.size()), 0);
    EXPECT_EQ(FindProgramResource("RFILE", 152).data, linked.data);
    EXPECT_EQ(FindProgramResource("rfile", 153).data, nullptr);
}

TEST(ArchiveBlobTest, SceneStyleLoadingFromTheLinkedArchive)
{
    ResourceArchive archive;
    ASSERT_TRUE(archive.Open(kArchiveResourceId));
    DecodedImage flare, picture;
    EXPECT_TRUE(flare.Load(archive, "flare1.jpg"));
    EXPECT_EQ(flare.width, 12);
    EXPECT_TRUE(picture.Load(archive, "pic.tga"));
    EXPECT_EQ(picture.height, 8);
    HeapBlock bytes;
    const long size = archive.Extract("phobos2.dat", bytes);
    ASSERT_GT(size, 0);
    ShapeMesh mesh;
    EXPECT_TRUE(mesh.Load(bytes.get(), size));
    EXPECT_EQ(mesh.count, 2);
}

TEST(ArchiveBlobTest, RegisteredBlockTakesPrecedenceOverTheLinkedOne)
{
    static const unsigned char replacement[] = {1, 2, 3};
    {
        ScopedProgramResource scoped(
            kArchiveResourceType, kArchiveResourceId, replacement, sizeof replacement);
        EXPECT_EQ(FindProgramResource(kArchiveResourceType, kArchiveResourceId).data, replacement);
    }
    EXPECT_NE(FindProgramResource(kArchiveResourceType, kArchiveResourceId).data, replacement);
}

} // namespace
} // namespace velmora
