#include "resources/ResourceArchive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resources/ResourceModule.h"
#include "ResourceTestSupport.h"

namespace velmora {
namespace {

using test::Bytes;
using test::ToBytes;
using test::TraceCapture;
using test::WriteZip;
using test::ZipEntry;

constexpr int kTestId = 7001;

std::string AsString(const HeapBlock& block, long size)
{
    return std::string(reinterpret_cast<const char*>(block.get()), static_cast<std::size_t>(size));
}

class ResourceArchiveTest : public ::testing::Test {
protected:
    // Registers the bytes as "rfile" kTestId for the rest of the test.
    void Provide(Bytes bytes)
    {
        bytes_ = std::move(bytes);
        RegisterProgramResource(kArchiveResourceType, kTestId, bytes_.data(), bytes_.size());
    }
    void TearDown() override { UnregisterProgramResource(kArchiveResourceType, kTestId); }

    Bytes bytes_;
    ResourceArchive archive;
    TraceCapture trace;
};

TEST_F(ResourceArchiveTest, ExtractsDeflatedMembersWhole)
{
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big += "line " + std::to_string(i) + "\n";
    Provide(WriteZip({{"a.txt", ToBytes("alpha")}, {"big.txt", ToBytes(big)}}));
    ASSERT_TRUE(archive.Open(kTestId));
    EXPECT_STREQ(archive.Name(), "_ResourceData");
    ASSERT_EQ(archive.MemberCount(), 2);
    EXPECT_STREQ(archive.Member(0)->name, "a.txt");
    EXPECT_EQ(archive.Member(1)->uncompressedSize, big.size());
    EXPECT_EQ(archive.Member(2), nullptr);
    EXPECT_EQ(archive.Member(-1), nullptr);

    HeapBlock block;
    // Out of directory order, to show the jump needs no walk from the start.
    long size = archive.Extract("big.txt", block);
    ASSERT_EQ(size, static_cast<long>(big.size()));
    EXPECT_EQ(AsString(block, size), big);
    size = archive.Extract("a.txt", block);
    ASSERT_EQ(size, 5);
    EXPECT_EQ(AsString(block, size), "alpha");
    EXPECT_TRUE(trace.messages.empty());
}

TEST_F(ResourceArchiveTest, NamesMatchWithoutLetterCaseFirstInDirectoryOrder)
{
    Provide(WriteZip({{"Flare1.jpg", ToBytes("first")}, {"FLARE1.JPG", ToBytes("second")}}));
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block;
    const long size = archive.Extract("flare1.jpg", block);
    ASSERT_EQ(size, 5);
    EXPECT_EQ(AsString(block, size), "first");
}

TEST_F(ResourceArchiveTest, MissingMemberIsTracedAndGivesNoBlock)
{
    Provide(WriteZip({{"a.txt", ToBytes("alpha")}}));
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block(static_cast<unsigned char*>(std::malloc(4)));
    EXPECT_EQ(archive.Extract("b.txt", block), 0);
    EXPECT_EQ(block, nullptr);
    // A longer name with the same start is not the member either.
    EXPECT_EQ(archive.Extract("a.txtx", block), 0);
    ASSERT_EQ(trace.messages.size(), 2u);
    EXPECT_EQ(trace.messages[0], "File \"_ResourceData:b.txt\" not found");
}

TEST_F(ResourceArchiveTest, ArchiveWithCommentOpens)
{
    const std::string comment(4000, 'c');
    Provide(WriteZip({{"a.txt", ToBytes("alpha")}}, comment));
    ASSERT_TRUE(archive.Open(kTestId));
    EXPECT_EQ(archive.CommentLength(), comment.size());
    HeapBlock block;
    EXPECT_EQ(archive.Extract("A.TXT", block), 5);
}

TEST_F(ResourceArchiveTest, StoredMemberIsCopied)
{
    ZipEntry stored {"s.bin", ToBytes("stored bytes"), 0};
    Provide(WriteZip({stored}));
    ASSERT_TRUE(archive.Open(kTestId));
    EXPECT_EQ(archive.Member(0)->method, 0);
    HeapBlock block;
    const long size = archive.Extract("s.bin", block);
    ASSERT_EQ(size, 12);
    EXPECT_EQ(AsString(block, size), "stored bytes");
}

TEST_F(ResourceArchiveTest, UnsupportedMethodsAndEncryptionFail)
{
    ZipEntry bzip2 {"b.bin", ToBytes("not really bzip2"), 12};
    ZipEntry odd {"o.bin", ToBytes("method 99"), 99};
    ZipEntry encrypted {"e.bin", ToBytes("secret"), 0, 1};
    Provide(WriteZip({bzip2, odd, encrypted, {"ok.txt", ToBytes("fine")}}));
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block;
    EXPECT_EQ(archive.Extract("b.bin", block), 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(archive.Extract("o.bin", block), 0);
    EXPECT_EQ(archive.Extract("e.bin", block), 0);
    ASSERT_EQ(trace.messages.size(), 3u);
    EXPECT_EQ(trace.messages[0], "Can't extract file \"_ResourceData:b.bin\"");
    EXPECT_EQ(trace.messages[2], "Can't extract file \"_ResourceData:e.bin\"");
    // A failed member leaves the archive usable.
    EXPECT_EQ(archive.Extract("ok.txt", block), 4);
}

TEST_F(ResourceArchiveTest, CrcMismatchFailsTheExtraction)
{
    ZipEntry damaged {"d.txt", ToBytes("damaged content"), 8};
    damaged.badCrc = true;
    ZipEntry storedDamaged {"sd.txt", ToBytes("stored and damaged"), 0};
    storedDamaged.badCrc = true;
    Provide(WriteZip({damaged, storedDamaged}));
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block;
    EXPECT_EQ(archive.Extract("d.txt", block), 0);
    EXPECT_EQ(archive.Extract("sd.txt", block), 0);
    EXPECT_EQ(block, nullptr);
    ASSERT_EQ(trace.messages.size(), 2u);
    EXPECT_EQ(trace.messages[0], "Can't extract file \"_ResourceData:d.txt\"");
}

TEST_F(ResourceArchiveTest, FlippedByteInDeflatedDataFails)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "some text " + std::to_string(i * i);
    Bytes zip = WriteZip({{"t.txt", ToBytes(text)}});
    zip[30 + 5 + 40] ^= 0x10; // inside the deflate stream after the local header
    Provide(zip);
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block;
    EXPECT_EQ(archive.Extract("t.txt", block), 0);
    EXPECT_EQ(block, nullptr);
}

TEST_F(ResourceArchiveTest, InconsistentLocalHeaderFails)
{
    ZipEntry e {"m.txt", ToBytes("method differs"), 8};
    e.localMethod = 0;
    Provide(WriteZip({e}));
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block;
    EXPECT_EQ(archive.Extract("m.txt", block), 0);
    ASSERT_EQ(trace.messages.size(), 1u);
    EXPECT_EQ(trace.messages[0], "Can't extract file \"_ResourceData:m.txt\"");
}

TEST_F(ResourceArchiveTest, ImplausibleSizesFailWithoutReservingThem)
{
    // 3 GB claimed for a few deflated bytes, and a stored member claiming more
    // than it holds: both refused before any block is allocated.
    ZipEntry huge {"huge.bin", ToBytes("tiny"), 8};
    huge.claimedSize = 3000000000u;
    ZipEntry stored {"short.bin", ToBytes("tiny"), 0};
    stored.claimedSize = 100;
    ZipEntry inflated {"more.bin", ToBytes("abc"), 8};
    inflated.claimedSize = 10; // deflate stream ends after 3 bytes
    Provide(WriteZip({huge, stored, inflated}));
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block;
    EXPECT_EQ(archive.Extract("huge.bin", block), 0);
    EXPECT_EQ(archive.Extract("short.bin", block), 0);
    EXPECT_EQ(archive.Extract("more.bin", block), 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(trace.messages.size(), 3u);
}

TEST_F(ResourceArchiveTest, ZeroLengthMemberYieldsZeroWithoutMessage)
{
    Provide(WriteZip({{"empty.dat", {}}, {"stored-empty.dat", {}, 0}}));
    ASSERT_TRUE(archive.Open(kTestId));
    HeapBlock block;
    EXPECT_EQ(archive.Extract("empty.dat", block), 0);
    EXPECT_EQ(archive.Extract("stored-empty.dat", block), 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_TRUE(trace.messages.empty());
}

TEST_F(ResourceArchiveTest, ArchivesThatCannotOpen)
{
    const std::string expected = "Can't open file \"_ResourceData\"";
    // No resource under that id.
    EXPECT_FALSE(archive.Open(kTestId));
    // An archive with no members (only the end record).
    Provide(WriteZip({}));
    EXPECT_FALSE(archive.Open(kTestId));
    // Not an archive at all.
    Provide(ToBytes("this is not a zip file, just some text without an end record"));
    EXPECT_FALSE(archive.Open(kTestId));
    // Cut before its end record.
    Bytes cut = WriteZip({{"a.txt", ToBytes("alpha")}});
    cut.resize(cut.size() - 10);
    Provide(cut);
    EXPECT_FALSE(archive.Open(kTestId));
    // An end record claiming two disks.
    Bytes multi = WriteZip({{"a.txt", ToBytes("alpha")}});
    multi[multi.size() - 22 + 4] = 1;
    Provide(multi);
    EXPECT_FALSE(archive.Open(kTestId));
    // A damaged first central record.
    Bytes badCentral = WriteZip({{"a.txt", ToBytes("alpha")}});
    const std::size_t centralOffset = badCentral.size() - 22 - (46 + 5);
    badCentral[centralOffset] = 'X';
    Provide(badCentral);
    EXPECT_FALSE(archive.Open(kTestId));

    ASSERT_EQ(trace.messages.size(), 6u);
    for (const std::string& m : trace.messages)
        EXPECT_EQ(m, expected);
    EXPECT_FALSE(archive.IsOpen());
    EXPECT_EQ(archive.MemberCount(), 0);
}

TEST_F(ResourceArchiveTest, MemberCountBeyondTheDirectoryIsRefused)
{
    Bytes zip = WriteZip({{"a.txt", ToBytes("alpha")}});
    // Claim 60,000 members in both counts of the end record.
    const std::size_t end = zip.size() - 22;
    zip[end + 8] = zip[end + 10] = 0x60;
    zip[end + 9] = zip[end + 11] = 0xEA;
    Provide(zip);
    EXPECT_FALSE(archive.Open(kTestId));
}

TEST_F(ResourceArchiveTest, ReopensAfterCloseAndCloseIsIdempotent)
{
    Provide(WriteZip({{"a.txt", ToBytes("alpha")}}));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(archive.Open(kTestId)) << round;
        HeapBlock block;
        EXPECT_EQ(archive.Extract("a.txt", block), 5);
        archive.Close();
        EXPECT_FALSE(archive.IsOpen());
        EXPECT_EQ(archive.MemberCount(), 0);
    }
    archive.Close();
    EXPECT_FALSE(archive.IsOpen());
    // Opening an open archive starts over instead of leaking the old handle.
    ASSERT_TRUE(archive.Open(kTestId));
    ASSERT_TRUE(archive.Open(kTestId));
    EXPECT_EQ(archive.MemberCount(), 1);
}

TEST_F(ResourceArchiveTest, ExtractOnClosedArchiveFindsNothing)
{
    HeapBlock block;
    EXPECT_EQ(archive.Extract("a.txt", block), 0);
    EXPECT_EQ(block, nullptr);
    ASSERT_EQ(trace.messages.size(), 1u);
}

TEST_F(ResourceArchiveTest, LongNamesAreStoredCut)
{
    const std::string longName(300, 'n');
    Provide(WriteZip({{longName, ToBytes("x")}, {"after.txt", ToBytes("after")}}));
    ASSERT_TRUE(archive.Open(kTestId));
    ASSERT_EQ(archive.MemberCount(), 2);
    EXPECT_EQ(std::strlen(archive.Member(0)->name), kArchiveNameSize - 1);
    HeapBlock block;
    EXPECT_EQ(archive.Extract(longName.c_str(), block), 0);
    EXPECT_EQ(archive.Extract(longName.substr(0, kArchiveNameSize - 1).c_str(), block), 1);
    EXPECT_EQ(archive.Extract("after.txt", block), 5);
}

TEST_F(ResourceArchiveTest, TwoArchiveObjectsOnOneResource)
{
    Provide(WriteZip({{"a.txt", ToBytes("alpha")}, {"b.txt", ToBytes("beta")}}));
    ResourceArchive second;
    ASSERT_TRUE(archive.Open(kTestId));
    ASSERT_TRUE(second.Open(kTestId));
    HeapBlock a, b;
    EXPECT_EQ(second.Extract("b.txt", b), 4);
    EXPECT_EQ(archive.Extract("a.txt", a), 5);
    second.Close();
    EXPECT_EQ(archive.Extract("b.txt", b), 4);
}

} // namespace
} // namespace velmora
