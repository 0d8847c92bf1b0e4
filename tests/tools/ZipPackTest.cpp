// The archive writer and reader: round trips, fixed bytes, deflate, and
// refusal of damaged archives.

#include "ZipPack.h"

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
