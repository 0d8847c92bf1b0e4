#include "codec/ZipWriter.h"

#include <zlib.h>

namespace velmora::codec {

namespace {

// 12:00 on 1 January 2010 in MS-DOS time and date fields.
constexpr uint16_t kFixedDosTime = 12 << 11;
constexpr uint16_t kFixedDosDate = (2010 - 1980) << 9 | 1 << 5 | 1;
constexpr uint16_t kVersionMadeBy = 0;
constexpr uint16_t kVersionNeeded = 20;
constexpr uint16_t kBestCompressionFlag = 0x2;
constexpr uint16_t kTextAttribute = 0x1; // internal attribute bit 0
constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutU32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

// Raw deflate (no zlib header), as ZIP method 8 stores it. `text` tells
// whether zlib took the data for text.
Bytes Deflate(const Bytes& in, bool& text)
{
    z_stream z {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    text = z.data_type == Z_TEXT;
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace

Bytes WriteZip(const std::vector<ZipEntry>& entries, std::string_view comment)
{
    Bytes zip;
    Bytes central;
    for (const ZipEntry& e : entries) {
        const bool deflated = e.method == kZipDeflated;
        bool text = false;
        const Bytes stored = deflated ? Deflate(e.data, text) : e.data;
        const uint32_t crc = static_cast<uint32_t>(crc32(0, e.data.data(), static_cast<uInt>(e.data.size())))
            ^ (e.badCrc ? 0x5A5A5A5Au : 0u);
        const uint32_t size = e.claimedSize.value_or(static_cast<uint32_t>(e.data.size()));
        const uint16_t flags = e.flags.value_or(deflated ? kBestCompressionFlag : 0);
        const auto offset = static_cast<uint32_t>(zip.size());
        const auto nameLength = static_cast<uint32_t>(e.name.size());

        PutU32(zip, kLocalHeaderSignature);
        PutU16(zip, kVersionNeeded);
        PutU16(zip, flags);
        PutU16(zip, e.localMethod.value_or(e.method));
        PutU16(zip, kFixedDosTime);
        PutU16(zip, kFixedDosDate);
        PutU32(zip, crc);
        PutU32(zip, static_cast<uint32_t>(stored.size()));
        PutU32(zip, size);
        PutU16(zip, nameLength);
        PutU16(zip, 0); // extra field
        zip.insert(zip.end(), e.name.begin(), e.name.end());
        zip.insert(zip.end(), stored.begin(), stored.end());

        PutU32(central, kCentralHeaderSignature);
        PutU16(central, kVersionMadeBy);
        PutU16(central, kVersionNeeded);
        PutU16(central, flags);
        PutU16(central, e.method);
        PutU16(central, kFixedDosTime);
        PutU16(central, kFixedDosDate);
        PutU32(central, crc);
        PutU32(central, static_cast<uint32_t>(stored.size()));
        PutU32(central, size);
        PutU16(central, nameLength);
        PutU16(central, 0); // extra field
        PutU16(central, 0); // comment
        PutU16(central, 0); // disk
        PutU16(central, text ? kTextAttribute : 0); // internal attributes
        PutU32(central, 0); // external attributes
        PutU32(central, offset);
        central.insert(central.end(), e.name.begin(), e.name.end());
    }
    const auto centralOffset = static_cast<uint32_t>(zip.size());
    zip.insert(zip.end(), central.begin(), central.end());
    PutU32(zip, kEndOfDirectorySignature);
    PutU16(zip, 0); // this disk
    PutU16(zip, 0); // the directory's disk
    PutU16(zip, static_cast<uint32_t>(entries.size()));
    PutU16(zip, static_cast<uint32_t>(entries.size()));
    PutU32(zip, static_cast<uint32_t>(central.size()));
    PutU32(zip, centralOffset);
    PutU16(zip, static_cast<uint32_t>(comment.size()));
    zip.insert(zip.end(), comment.begin(), comment.end());
    return zip;
}

} // namespace velmora::codec
