#pragma once

// Builders shared by the resources suites and the corpus maker: ZIP archives
// written byte by byte (so tests can damage any field), TGA files in both row
// orders with or without run-length packets, and JPEGs made with libjpeg's
// own compressor.

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "resources/DiagTrace.h"

namespace velmora::test {

using Bytes = std::vector<unsigned char>;

inline Bytes ToBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

inline void PutU16(Bytes& out, unsigned v)
{
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

inline void PutU32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

// Raw deflate (no zlib header), as ZIP method 8 stores it.
inline Bytes Deflate(const Bytes& in)
{
    z_stream z {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline uint32_t Crc32(const Bytes& data)
{
    return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

struct ZipEntry {
    std::string name;
    Bytes data;
    uint16_t method = 8; // 8 deflates, anything else stores the bytes as they are
    uint16_t flags = 0;
    bool badCrc = false; // record a CRC-32 that does not match the data
    uint16_t localMethod = 0xFFFF; // a different method in the local header only
    uint32_t claimedSize = 0; // a different uncompressed size in both headers
};

inline Bytes BuildZip(const std::vector<ZipEntry>& entries, const std::string& comment = {})
{
    Bytes zip;
    Bytes central;
    for (const ZipEntry& e : entries) {
        const Bytes stored = e.method == 8 ? Deflate(e.data) : e.data;
        const uint32_t crc = Crc32(e.data) ^ (e.badCrc ? 0x5A5A5A5Au : 0u);
        const uint32_t size = e.claimedSize != 0 ? e.claimedSize : static_cast<uint32_t>(e.data.size());
        const auto offset = static_cast<uint32_t>(zip.size());

        PutU32(zip, 0x04034b50);
        PutU16(zip, 20);
        PutU16(zip, e.flags);
        PutU16(zip, e.localMethod != 0xFFFF ? e.localMethod : e.method);
        PutU16(zip, 0); // time
        PutU16(zip, 0x21); // 1980-01-01
        PutU32(zip, crc);
        PutU32(zip, static_cast<uint32_t>(stored.size()));
        PutU32(zip, size);
        PutU16(zip, static_cast<unsigned>(e.name.size()));
        PutU16(zip, 0);
        zip.insert(zip.end(), e.name.begin(), e.name.end());
        zip.insert(zip.end(), stored.begin(), stored.end());

        PutU32(central, 0x02014b50);
        PutU16(central, 20);
        PutU16(central, 20);
        PutU16(central, e.flags);
        PutU16(central, e.method);
        PutU16(central, 0);
        PutU16(central, 0x21);
        PutU32(central, crc);
        PutU32(central, static_cast<uint32_t>(stored.size()));
        PutU32(central, size);
        PutU16(central, static_cast<unsigned>(e.name.size()));
        PutU16(central, 0); // extra
        PutU16(central, 0); // comment
        PutU16(central, 0); // disk
        PutU16(central, 0); // internal attributes
        PutU32(central, 0); // external attributes
        PutU32(central, offset);
        central.insert(central.end(), e.name.begin(), e.name.end());
    }
    const auto centralOffset = static_cast<uint32_t>(zip.size());
    zip.insert(zip.end(), central.begin(), central.end());
    PutU32(zip, 0x06054b50);
    PutU16(zip, 0);
    PutU16(zip, 0);
    PutU16(zip, static_cast<unsigned>(entries.size()));
    PutU16(zip, static_cast<unsigned>(entries.size()));
    PutU32(zip, static_cast<uint32_t>(central.size()));
    PutU32(zip, centralOffset);
    PutU16(zip, static_cast<unsigned>(comment.size()));
    zip.insert(zip.end(), comment.begin(), comment.end());
    return zip;
}

// A picture as the decoders deliver it: rows top first, R G B (A).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 3;
    Bytes pixels;
};

// Distinct values per pixel and channel, so any misplaced byte shows.
inline Picture MakeGradient(int width, int height, int channels)
{
    Picture p {width, height, channels, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                p.pixels.push_back(static_cast<unsigned char>(x * 7 + y * 31 + c * 90 + (x * y) % 13));
    return p;
}

// Horizontal bands of one colour each, with a few odd pixels, so run-length
// packets run across row ends and raw packets appear too.
inline Picture MakeBands(int width, int height, int channels)
{
    Picture p {width, height, channels, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                const bool odd = (x * 3 + y) % 11 == 0;
                p.pixels.push_back(static_cast<unsigned char>(odd ? x * 13 + c : (y / 3) * 40 + c * 60));
            }
    return p;
}

inline Bytes TgaHeader(int type, int width, int height, int depth, int descriptor, int colourMapType = 0)
{
    Bytes h(18, 0);
    h[1] = static_cast<unsigned char>(colourMapType);
    h[2] = static_cast<unsigned char>(type);
    h[12] = static_cast<unsigned char>(width & 0xFF);
    h[13] = static_cast<unsigned char>(width >> 8);
    h[14] = static_cast<unsigned char>(height & 0xFF);
    h[15] = static_cast<unsigned char>(height >> 8);
    h[16] = static_cast<unsigned char>(depth);
    h[17] = static_cast<unsigned char>(descriptor);
    return h;
}

// Pixels in file order: B G R (A), rows top first or bottom first.
inline std::vector<Bytes> TgaFilePixels(const Picture& p, bool topFirst)
{
    std::vector<Bytes> out;
    for (int k = 0; k < p.height; ++k) {
        const int y = topFirst ? k : p.height - 1 - k;
        for (int x = 0; x < p.width; ++x) {
            const unsigned char* s = &p.pixels[(static_cast<std::size_t>(y) * p.width + x) * p.channels];
            Bytes px {s[2], s[1], s[0]};
            if (p.channels == 4)
                px.push_back(s[3]);
            out.push_back(px);
        }
    }
    return out;
}

inline Bytes EncodeTga(const Picture& p, bool runLength, bool topFirst)
{
    Bytes out = TgaHeader(runLength ? 10 : 2, p.width, p.height, p.channels * 8, topFirst ? 0x20 : 0);
    const std::vector<Bytes> px = TgaFilePixels(p, topFirst);
    if (!runLength) {
        for (const Bytes& v : px)
            out.insert(out.end(), v.begin(), v.end());
        return out;
    }
    // Packets over the whole pixel stream, ignoring row ends on purpose.
    std::size_t i = 0;
    while (i < px.size()) {
        std::size_t run = 1;
        while (i + run < px.size() && run < 128 && px[i + run] == px[i])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<unsigned char>(0x80 | (run - 1)));
            out.insert(out.end(), px[i].begin(), px[i].end());
            i += run;
            continue;
        }
        std::size_t raw = 1;
        while (
            i + raw < px.size() && raw < 128 && !(i + raw + 1 < px.size() && px[i + raw] == px[i + raw + 1]))
            ++raw;
        out.push_back(static_cast<unsigned char>(raw - 1));
        for (std::size_t k = 0; k < raw; ++k)
            out.insert(out.end(), px[i + k].begin(), px[i + k].end());
        i += raw;
    }
    return out;
}

// Encodes with libjpeg; components 3 (RGB input), 1 (greyscale input) or 4
// (CMYK input, written with an Adobe marker).
inline Bytes EncodeJpeg(
    const Bytes& pixels, int width, int height, int components, int quality = 95, bool progressive = false)
{
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr err {};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(
            &pixels[static_cast<std::size_t>(cinfo.next_scanline) * width * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// Decodes with libjpeg's own memory source, as the reference the project's
// decoder must match byte for byte. Only for well-formed test input.
inline Bytes DecodeJpegReference(const Bytes& jpeg, int& width, int& height)
{
    jpeg_decompress_struct cinfo {};
    jpeg_error_mgr err {};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * cinfo.output_components;
    Bytes out(rowBytes * height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out[cinfo.output_scanline * rowBytes];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

// Collects every DiagTrace message while alive.
struct TraceCapture {
    std::vector<std::string> messages;
    ScopedDiagTraceSink sink {[this](const std::string& m) { messages.push_back(m); }};
};

} // namespace velmora::test
