#pragma once
// The program's archive: a ZIP file with deflated members, written with the
// shared ZIP writer and read in memory through minizip.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::art {

struct ZipMember {
    std::string name;
    std::vector<uint8_t> data;
};

// Deflates every member in the given order with a fixed timestamp and no
// per-machine fields, so equal input gives equal bytes. Throws
// std::runtime_error on an empty or over-long name or an over-large member.
std::vector<uint8_t> PackZip(const std::vector<ZipMember>& members);

// Limits when reading an archive from outside.
inline constexpr size_t kMaxZipMembers = 1024;
inline constexpr uint64_t kMaxZipMemberBytes = 64u << 20;
inline constexpr uint64_t kMaxZipTotalBytes = 256u << 20;

// A whole file of at most limit bytes (an archive, or an input of one).
// Throws std::runtime_error when it cannot be read, is empty or is larger.
std::vector<uint8_t> ReadWholeFile(const std::string& path, uint64_t limit);

// Every member in central directory order; nothing when the bytes are not a
// readable archive, a member fails its CRC or a limit above is exceeded.
std::optional<std::vector<ZipMember>> UnpackZip(const std::vector<uint8_t>& bytes);

// Whether a member's stored compression method is deflate, by name; nothing
// when the archive or the member cannot be read.
std::optional<bool> ZipMemberIsDeflated(const std::vector<uint8_t>& bytes, const std::string& name);

} // namespace velmora::art
