// The archive writer and reader: round trips, fixed bytes, deflate, and
// refusal of damaged archives.

#include "ZipPack.h"

#include "codec/ZipWriter.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace velmora::art {
namespace {

std::vector<ZipMember> Sample()
{
    std::vector<ZipMember> members;
    std::vector<uint8_t> text;
    for (int i = 0; i < 5000; ++i) {
        text.push_back(static_cast<uint8_t>('a' + i % 7));
    }
    members.push_back({"Flare1.jpg", text});
    members.push_back({"stars.dat", {'6', '.', '7', '0', ';', '\r', '\n'}});
    members.push_back({"empty.bin", {}});
    std::vector<uint8_t> binary(3000);
    for (size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    }
    members.push_back({"phobos2.dat", binary});
    return members;
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

TEST(ZipPack, RoundTripKeepsNamesOrderAndBytes)
{
    const std::vector<ZipMember> members = Sample();
    const auto unpacked = UnpackZip(PackZip(members));
    ASSERT_TRUE(unpacked.has_value());
    ASSERT_EQ(unpacked->size(), members.size());
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ((*unpacked)[i].name, members[i].name);
        EXPECT_EQ((*unpacked)[i].data, members[i].data) << members[i].name;
    }
}

TEST(ZipPack, SameBytesEveryTimeWithAFixedTimestamp)
{
    const std::vector<uint8_t> a = PackZip(Sample());
    const std::vector<uint8_t> b = PackZip(Sample());
    EXPECT_EQ(a, b);
    // First local header: signature, version, flags, method, time, date.
    ASSERT_GE(a.size(), 30u);
    EXPECT_EQ(Le16(a, 0), 0x4b50);
    EXPECT_EQ(Le16(a, 2), 0x0403);
    EXPECT_EQ(Le16(a, 8), 8) << "deflate";
    EXPECT_EQ(Le16(a, 10), 12 << 11) << "12:00:00";
    EXPECT_EQ(Le16(a, 12), (2010 - 1980) << 9 | 1 << 5 | 1) << "1 January 2010";
}

TEST(ZipPack, MembersAreDeflatedAndCompressed)
{
    const std::vector<uint8_t> zip = PackZip(Sample());
    for (const char* name : {"Flare1.jpg", "stars.dat", "phobos2.dat"}) {
        const auto deflated = ZipMemberIsDeflated(zip, name);
        ASSERT_TRUE(deflated.has_value()) << name;
        EXPECT_TRUE(*deflated) << name;
    }
    EXPECT_FALSE(ZipMemberIsDeflated(zip, "missing.jpg").has_value());
    // The repetitive 5000-byte member shrinks to a small part of the archive.
    EXPECT_LT(zip.size(), 5000u);
}

// The central records carry what the archive has always carried: the
// best-compression flag on deflated members, and the text bit where zlib
// took the data for text (the star catalogue), so a rebuilt archive keeps its
// bytes. A stored member has neither; a flag given explicitly wins.
TEST(ZipPack, CentralRecordsCarryFlagsAndTheTextBit)
{
    std::vector<uint8_t> binary(300);
    for (size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    const std::vector<uint8_t> text {'1', '.', '0', ';', '2', '5', '\r', '\n'};
    const struct {
        codec::ZipEntry entry;
        uint16_t flags;
        uint16_t internalAttributes;
    } rows[] = {
        {{.name = "stars.dat", .data = text}, 0x2, 1},
        {{.name = "phobos2.dat", .data = binary}, 0x2, 0},
        {{.name = "stored.dat", .data = text, .method = codec::kZipStored}, 0, 0},
        {{.name = "locked.dat", .data = binary, .flags = 0x1}, 0x1, 0},
    };
    std::vector<codec::ZipEntry> entries;
    for (const auto& row : rows) {
        entries.push_back(row.entry);
    }
    const std::vector<uint8_t> zip = codec::WriteZip(entries);
    // The end record gives where the directory starts; each record is 46
    // bytes and its name.
    const size_t end = zip.size() - 22;
    size_t at = static_cast<size_t>(Le16(zip, end + 16) | Le16(zip, end + 18) << 16);
    for (const auto& row : rows) {
        ASSERT_EQ(Le16(zip, at), 0x4b50) << row.entry.name;
        EXPECT_EQ(Le16(zip, at + 8), row.flags) << row.entry.name;
        EXPECT_EQ(Le16(zip, at + 10), row.entry.method) << row.entry.name;
        EXPECT_EQ(Le16(zip, at + 36), row.internalAttributes) << row.entry.name;
        at += 46 + Le16(zip, at + 28);
    }
}

TEST(ZipPack, ReaderRefusesDamagedArchives)
{
    EXPECT_FALSE(UnpackZip({}).has_value());
    EXPECT_FALSE(UnpackZip(std::vector<uint8_t>(100, 0x55)).has_value());

    const std::vector<uint8_t> good = PackZip(Sample());
    std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
    EXPECT_FALSE(UnpackZip(truncated).has_value());

    // Flip a byte inside the first member's compressed data (after its
    // 30-byte header and 10-byte name): inflate or the CRC check must fail.
    std::vector<uint8_t> damaged = good;
    damaged.at(30 + 10 + 3) ^= 0x5a;
    EXPECT_FALSE(UnpackZip(damaged).has_value());
}

TEST(ZipPack, WriterRefusesBadNames)
{
    EXPECT_THROW(PackZip({ZipMember {"", {1}}}), std::runtime_error);
    EXPECT_THROW(PackZip({ZipMember {std::string(256, 'n'), {1}}}), std::runtime_error);
}

} // namespace
} // namespace velmora::art
