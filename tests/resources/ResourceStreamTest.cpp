#include "resources/ResourceStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resources/ResourceModule.h"

namespace velmora {
namespace {

constexpr int kStreamId = 7101;
constexpr char kText[] = "0123456789"; // 10 bytes in the resource

class ResourceStreamTest : public ::testing::Test {
protected:
    ScopedProgramResource resource {kArchiveResourceType, kStreamId, kText, 10};
};

TEST_F(ResourceStreamTest, OnlyReadBinaryModeOpens)
{
    EXPECT_NE(ResourceStream::Open(kStreamId, "rb"), nullptr);
    for (const char* mode : {"r", "wb", "r+b", "ab", "rb+", "RB", ""})
        EXPECT_EQ(ResourceStream::Open(kStreamId, mode), nullptr) << mode;
    EXPECT_EQ(ResourceStream::Open(kStreamId, nullptr), nullptr);
}

TEST_F(ResourceStreamTest, MissingOrEmptyResourceGivesNoStream)
{
    EXPECT_EQ(ResourceStream::Open(kStreamId + 1, "rb"), nullptr);
    ScopedProgramResource empty(kArchiveResourceType, kStreamId + 2, kText, 0);
    EXPECT_EQ(ResourceStream::Open(kStreamId + 2, "rb"), nullptr);
}

TEST_F(ResourceStreamTest, SeekStaysWithinTheResource)
{
    auto stream = ResourceStream::Open(kStreamId, "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Size(), 10u);
    EXPECT_EQ(stream->Tell(), 0);
    EXPECT_TRUE(stream->Seek(4, ResourceStream::Origin::Begin));
    EXPECT_EQ(stream->Tell(), 4);
    EXPECT_TRUE(stream->Seek(-3, ResourceStream::Origin::Current));
    EXPECT_EQ(stream->Tell(), 1);
    EXPECT_TRUE(stream->Seek(-2, ResourceStream::Origin::End));
    EXPECT_EQ(stream->Tell(), 8);
    EXPECT_TRUE(stream->Seek(0, ResourceStream::Origin::End));
    EXPECT_EQ(stream->Tell(), 10);

    // Targets outside 0..size fail and leave the position where it was.
    EXPECT_TRUE(stream->Seek(5, ResourceStream::Origin::Begin));
    EXPECT_FALSE(stream->Seek(11, ResourceStream::Origin::Begin));
    EXPECT_FALSE(stream->Seek(-1, ResourceStream::Origin::Begin));
    EXPECT_FALSE(stream->Seek(6, ResourceStream::Origin::Current));
    EXPECT_FALSE(stream->Seek(-6, ResourceStream::Origin::Current));
    EXPECT_FALSE(stream->Seek(1, ResourceStream::Origin::End));
    EXPECT_FALSE(stream->Seek(INT64_MAX, ResourceStream::Origin::Current));
    EXPECT_FALSE(stream->Seek(INT64_MIN, ResourceStream::Origin::End));
    EXPECT_EQ(stream->Tell(), 5);
}

TEST_F(ResourceStreamTest, ReadCopiesWholeItemsOnly)
{
    auto stream = ResourceStream::Open(kStreamId, "rb");
    ASSERT_NE(stream, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(stream->Read(buffer, 1, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "012");
    // 7 bytes remain: two items of 3, the partial third is not copied.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(stream->Read(buffer, 3, 5), 2u);
    EXPECT_EQ(std::string(buffer, 7), "345678x");
    EXPECT_EQ(stream->Tell(), 9);
    EXPECT_EQ(stream->Read(buffer, 2, 1), 0u);
    EXPECT_EQ(stream->Tell(), 9);
    EXPECT_EQ(stream->Read(buffer, 1, 8), 1u);
    EXPECT_EQ(buffer[0], '9');
    EXPECT_EQ(stream->Read(buffer, 1, 1), 0u);
    EXPECT_EQ(stream->Read(buffer, 0, 1), 0u);
}

TEST(ResourceModuleTest, LookupByTypeWithoutCaseAndById)
{
    static const char first[] = "first";
    static const char second[] = "second";
    EXPECT_EQ(FindProgramResource("rfile", 7201).data, nullptr);
    RegisterProgramResource("rfile", 7201, first, 5);
    ResourceBytes found = FindProgramResource("RFILE", 7201);
    EXPECT_EQ(found.data, reinterpret_cast<const unsigned char*>(first));
    EXPECT_EQ(found.size, 5u);
    EXPECT_EQ(FindProgramResource("rfile", 7202).data, nullptr);
    EXPECT_EQ(FindProgramResource("bitmap", 7201).data, nullptr);
    EXPECT_EQ(FindProgramResource(nullptr, 7201).data, nullptr);

    // The same type and id again replaces the block.
    RegisterProgramResource("RFile", 7201, second, 6);
    found = FindProgramResource("rfile", 7201);
    EXPECT_EQ(found.data, reinterpret_cast<const unsigned char*>(second));
    EXPECT_EQ(found.size, 6u);

    EXPECT_TRUE(UnregisterProgramResource("rfile", 7201));
    EXPECT_FALSE(UnregisterProgramResource("rfile", 7201));
    EXPECT_EQ(FindProgramResource("rfile", 7201).data, nullptr);
}

TEST(ResourceModuleTest, ScopedRegistrationEndsWithItsScope)
{
    static const char bytes[] = "abc";
    {
        ScopedProgramResource scoped("data", 7301, bytes, 3);
        EXPECT_EQ(FindProgramResource("data", 7301).size, 3u);
    }
    EXPECT_EQ(FindProgramResource("data", 7301).data, nullptr);
}

} // namespace
} // namespace velmora
