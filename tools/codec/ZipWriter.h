#pragma once
// The one ZIP writer: the program's archive is packed with it and the test
// suites build their archives with it, including ones damaged on purpose.
// Every entry carries the same fixed date and no per-machine field, so equal
// input gives equal bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::codec {

inline constexpr uint16_t kZipStored = 0;
inline constexpr uint16_t kZipDeflated = 8;

struct ZipEntry {
    std::string name;
    std::vector<uint8_t> data;
    // Deflated at the best compression, or any other method number with the
    // bytes stored as given.
    uint16_t method = kZipDeflated;
    // General purpose bits; by default what the method implies (bit 1, best
    // compression, for deflated entries).
    std::optional<uint16_t> flags {};
    // Faults for the readers' tests: a CRC-32 that does not match the data,
    // another method in the local header only, another uncompressed size in
    // both headers.
    bool badCrc = false;
    std::optional<uint16_t> localMethod {};
    std::optional<uint32_t> claimedSize {};
};

// The whole archive: local headers with the data, the central directory and
// its end record with the comment. Names and sizes must fit the 16- and
// 32-bit fields; the caller checks them.
std::vector<uint8_t> WriteZip(const std::vector<ZipEntry>& entries, std::string_view comment = {});

} // namespace velmora::codec
