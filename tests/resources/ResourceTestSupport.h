#pragma once

// Builders shared by the resources suites and the corpus maker: ZIP archives
// (with any field damaged on purpose), TGA files in both row orders with or
// without run-length packets, and JPEGs, with libjpeg's own decoder as the
// reference.

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "codec/JpegEncoder.h"
#include "codec/ZipWriter.h"
#include "resources/DiagTrace.h"

namespace velmora::test {

using Bytes = std::vector<unsigned char>;

inline Bytes ToBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

inline void PutU32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

// Archives come from the shared writer, whose entries can carry faults on
// purpose.
using codec::WriteZip;
using codec::ZipEntry;

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

// Encodes with the shared encoder; components 3 (RGB input), 1 (greyscale
// input) or 4 (CMYK input, written with an Adobe marker).
inline Bytes EncodeJpeg(
    const Bytes& pixels, int width, int height, int components, int quality = 95, bool progressive = false)
{
    return codec::EncodeJpeg(pixels.data(), width, height, components,
        codec::JpegSettings {.quality = quality, .progressive = progressive});
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
