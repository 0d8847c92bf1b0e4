#include "resources/JpegMemoryDecoder.h"

// clang-format off
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "resources/DecodedImage.h"

namespace velmora {

namespace {

// [SECTION] Memory source, error exit and scan limit

// A progressive file may carry any number of scans, each one a full pass over
// the image; a hostile file with thousands of them would decode for minutes.
constexpr int kMaxScans = 500;

struct MemorySource {
    jpeg_source_mgr pub;
    const JOCTET* data;
    std::size_t size;
    std::size_t position;
    JOCTET buffer[JpegMemoryDecoder::kSourceChunkSize];
};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Everything one decode touches. It lives on the heap and is reached through a
// reference from the function that calls setjmp, so nothing that changes after
// setjmp is a local of that function.
struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    jpeg_progress_mgr progress;
    MemorySource source;
    bool created;
    unsigned char* result; // malloc'd, handed over on success
    int32_t width;
    int32_t height;
};

MemorySource& SourceOf(j_decompress_ptr cinfo)
{
    return *reinterpret_cast<MemorySource*>(cinfo->src);
}

void InitSource(j_decompress_ptr) { }

void TermSource(j_decompress_ptr) { }

// Hands the library the next slice of the block. Past the end it supplies an
// end-of-image marker, so a truncated file ends the decode (the missing part
// stays grey) instead of reading past the block or waiting for more.
boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    MemorySource& src = SourceOf(cinfo);
    const std::size_t left = src.size - src.position;
    if (left == 0) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src.buffer[0] = 0xFF;
        src.buffer[1] = JPEG_EOI;
        src.pub.next_input_byte = src.buffer;
        src.pub.bytes_in_buffer = 2;
        return TRUE;
    }
    const std::size_t n = std::min(left, JpegMemoryDecoder::kSourceChunkSize);
    std::memcpy(src.buffer, src.data + src.position, n);
    src.position += n;
    src.pub.next_input_byte = src.buffer;
    src.pub.bytes_in_buffer = n;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    MemorySource& src = SourceOf(cinfo);
    auto n = static_cast<std::size_t>(count);
    while (n > src.pub.bytes_in_buffer) {
        n -= src.pub.bytes_in_buffer;
        if (src.position == src.size) {
            // Nothing left to skip into: the next read gets the end marker.
            src.pub.bytes_in_buffer = 0;
            return;
        }
        FillInputBuffer(cinfo);
    }
    src.pub.next_input_byte += n;
    src.pub.bytes_in_buffer -= n;
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (corrupt data the library can step over) are not errors, and the
// library's messages never reach stderr.
void OutputMessage(j_common_ptr) { }

void LimitScans(j_common_ptr cinfo)
{
    const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans)
        ErrorExit(cinfo);
}

// [SECTION] Conversion of one output row to RGB

void ConvertRow(const JSAMPLE* in, unsigned char* out, int32_t width, int components, bool adobeCmyk)
{
    switch (components) {
    case 3:
        std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
        break;
    case 1:
        for (int32_t x = 0; x < width; ++x, out += 3)
            out[0] = out[1] = out[2] = in[x];
        break;
    case 4:
        // Adobe writers store CMYK inverted (255 means no ink).
        for (int32_t x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned k = adobeCmyk ? in[3] : 255u - in[3];
            for (int c = 0; c < 3; ++c) {
                const unsigned v = adobeCmyk ? in[c] : 255u - in[c];
                out[c] = static_cast<unsigned char>((v * k + 127) / 255);
            }
        }
        break;
    default:
        break;
    }
}

// [SECTION] The decode itself

// Returns 1 with s.result filled, or 0; the caller releases everything.
bool RunDecode(DecodeState& s, const void* bytes, std::size_t size)
{
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = ErrorExit;
    s.error.pub.output_message = OutputMessage;
    if (setjmp(s.error.jump) != 0)
        return false;

    s.created = true;
    jpeg_create_decompress(&s.cinfo);
    s.progress.progress_monitor = LimitScans;
    s.cinfo.progress = &s.progress;

    s.source.pub.init_source = InitSource;
    s.source.pub.fill_input_buffer = FillInputBuffer;
    s.source.pub.skip_input_data = SkipInputData;
    s.source.pub.resync_to_restart = jpeg_resync_to_restart;
    s.source.pub.term_source = TermSource;
    s.source.pub.next_input_byte = nullptr;
    s.source.pub.bytes_in_buffer = 0;
    s.source.data = static_cast<const JOCTET*>(bytes);
    s.source.size = size;
    s.source.position = 0;
    s.cinfo.src = &s.source.pub;

    jpeg_read_header(&s.cinfo, TRUE);
    jpeg_calc_output_dimensions(&s.cinfo);
    const int components = s.cinfo.output_components;
    if (components != 1 && components != 3 && components != 4)
        return false;
    if (s.cinfo.output_width == 0 || s.cinfo.output_height == 0
        || s.cinfo.output_width > static_cast<JDIMENSION>(kMaxJpegDimension)
        || s.cinfo.output_height > static_cast<JDIMENSION>(kMaxJpegDimension)
        || static_cast<int64_t>(s.cinfo.output_width) * s.cinfo.output_height > kMaxJpegPixels)
        return false;
    // Data that cannot hold the picture it declares is refused: a few hostile
    // bytes would otherwise have the library paint millions of grey pixels
    // past their end. Arithmetic coding could in theory go below a bit per
    // block; the same floor holds for it, as no picture read here uses it.
    const int64_t pixels = static_cast<int64_t>(s.cinfo.image_width) * s.cinfo.image_height;
    if (static_cast<uint64_t>((pixels + kMaxJpegPixelsPerByte - 1) / kMaxJpegPixelsPerByte) > size)
        return false;
    s.width = static_cast<int32_t>(s.cinfo.output_width);
    s.height = static_cast<int32_t>(s.cinfo.output_height);

    JSAMPARRAY row = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_IMAGE,
        s.cinfo.output_width * static_cast<JDIMENSION>(components), 1);
    const std::size_t rowBytes = static_cast<std::size_t>(s.width) * 3;
    s.result = static_cast<unsigned char*>(std::malloc(rowBytes * static_cast<std::size_t>(s.height)));
    if (s.result == nullptr)
        return false;

    jpeg_start_decompress(&s.cinfo);
    // The colour conversion happens here, so the output stays what the
    // library's defaults give; only its component count is checked again.
    if (s.cinfo.output_components != components)
        return false;
    const bool adobeCmyk = s.cinfo.saw_Adobe_marker != 0;
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const JDIMENSION y = s.cinfo.output_scanline;
        if (jpeg_read_scanlines(&s.cinfo, row, 1) != 1)
            return false;
        ConvertRow(row[0], s.result + static_cast<std::size_t>(y) * rowBytes, s.width, components, adobeCmyk);
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

} // namespace

bool JpegMemoryDecoder::Decode(const void* bytes, std::size_t size, DecodedImage& image)
{
    image.Reset();
    consumed_ = 0;
    if (bytes == nullptr || size == 0)
        return false;
    // Value-initialised: the source buffer makes the state too big for the stack.
    std::unique_ptr<DecodeState> state(new (std::nothrow) DecodeState());
    if (!state)
        return false;
    const bool ok = RunDecode(*state, bytes, size);
    if (state->created)
        jpeg_destroy_decompress(&state->cinfo);
    consumed_ = state->source.position;
    if (!ok) {
        std::free(state->result);
        return false;
    }
    image.width = state->width;
    image.height = state->height;
    image.bitsPerPixel = 24;
    image.pixels.reset(state->result);
    return true;
}

} // namespace velmora
