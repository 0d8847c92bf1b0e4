#include "JpegCodec.h"

// jpeglib.h needs size_t and FILE declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <memory>
#include <stdexcept>

namespace velmora::art {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return;
// it jumps back to the setjmp of the call that started the work.
struct ErrorManager {
    jpeg_error_mgr base {};
    std::jmp_buf jump {};
};

[[noreturn]] void JumpOnError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void SilentMessage(j_common_ptr) { }

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};

// Runs with plain C state only, so the jump back skips no destructor.
bool CompressInto(
    const Image& image, int quality, ChromaSampling sampling, unsigned char** out, unsigned long* outSize)
{
    jpeg_compress_struct cinfo {};
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = JumpOnError;
    err.base.output_message = SilentMessage;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE); // TRUE: baseline-compatible tables
    const int factor = sampling == ChromaSampling::Full ? 1 : 2;
    cinfo.comp_info[0].h_samp_factor = factor;
    cinfo.comp_info[0].v_samp_factor = factor;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    const auto stride = static_cast<size_t>(image.width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        // libjpeg takes non-const rows but only reads them.
        auto* row = const_cast<JSAMPLE*>(image.rgb.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool DecompressInto(const uint8_t* data, size_t size, Image& image)
{
    jpeg_decompress_struct cinfo {};
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = JumpOnError;
    err.base.output_message = SilentMessage;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width == 0 || cinfo.image_height == 0
        || cinfo.image_width > kMaxDecodedSide || cinfo.image_height > kMaxDecodedSide) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    image.width = static_cast<int>(cinfo.output_width);
    image.height = static_cast<int>(cinfo.output_height);
    const auto stride = static_cast<size_t>(image.width) * 3;
    image.rgb.assign(stride * static_cast<size_t>(image.height), 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPLE* row = image.rgb.data() + cinfo.output_scanline * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

std::vector<uint8_t> EncodeJpeg(const Image& image, int quality, ChromaSampling sampling)
{
    if (image.width <= 0 || image.height <= 0 || image.width > kMaxDecodedSide
        || image.height > kMaxDecodedSide
        || image.rgb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3) {
        throw std::runtime_error("JPEG: picture \"" + image.name + "\" has inconsistent sizes");
    }
    unsigned char* raw = nullptr;
    unsigned long rawSize = 0;
    const bool ok = CompressInto(image, quality, sampling, &raw, &rawSize);
    const std::unique_ptr<unsigned char, FreeDeleter> owned(raw);
    if (!ok || raw == nullptr || rawSize == 0) {
        throw std::runtime_error("JPEG: libjpeg could not encode \"" + image.name + "\"");
    }
    return std::vector<uint8_t>(raw, raw + rawSize);
}

std::optional<Image> DecodeJpeg(const uint8_t* data, size_t size)
{
    if (data == nullptr || size == 0 || size > 0xffffffffu) {
        return std::nullopt;
    }
    Image image;
    if (!DecompressInto(data, size, image)) {
        return std::nullopt;
    }
    return image;
}

} // namespace velmora::art
