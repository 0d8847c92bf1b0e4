#include "codec/JpegEncoder.h"

// jpeglib.h needs size_t and FILE declared first.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <memory>

namespace velmora::codec {

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

J_COLOR_SPACE InputSpace(int components)
{
    return components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
}

// Runs with plain C state only, so the jump back skips no destructor.
bool CompressInto(const uint8_t* pixels, int width, int height, int components, const JpegSettings& settings,
    unsigned char** out, unsigned long* outSize)
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
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = InputSpace(components);
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, settings.quality, TRUE); // TRUE: baseline-compatible tables
    if (components == 3) {
        const int factor = settings.sampling == ChromaSampling::Full ? 1 : 2;
        cinfo.comp_info[0].h_samp_factor = factor;
        cinfo.comp_info[0].v_samp_factor = factor;
        for (int c = 1; c < 3; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    if (settings.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const auto stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        // libjpeg takes non-const rows but only reads them.
        auto* row = const_cast<JSAMPLE*>(pixels + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool DecompressInto(const uint8_t* data, std::size_t size, RgbPicture& picture)
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
        || cinfo.image_width > kMaxDecodedJpegSide || cinfo.image_height > kMaxDecodedJpegSide) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    picture.width = static_cast<int>(cinfo.output_width);
    picture.height = static_cast<int>(cinfo.output_height);
    const auto stride = static_cast<std::size_t>(picture.width) * 3;
    picture.rgb.assign(stride * static_cast<std::size_t>(picture.height), 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPLE* row = picture.rgb.data() + cinfo.output_scanline * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

std::vector<uint8_t> EncodeJpeg(
    const uint8_t* pixels, int width, int height, int components, const JpegSettings& settings)
{
    if (pixels == nullptr || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION
        || height > JPEG_MAX_DIMENSION || (components != 1 && components != 3 && components != 4))
        return {};
    unsigned char* raw = nullptr;
    unsigned long rawSize = 0;
    const bool ok = CompressInto(pixels, width, height, components, settings, &raw, &rawSize);
    const std::unique_ptr<unsigned char, FreeDeleter> owned(raw);
    if (!ok || raw == nullptr || rawSize == 0)
        return {};
    return std::vector<uint8_t>(raw, raw + rawSize);
}

std::optional<RgbPicture> DecodeJpeg(const uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0 || size > 0xffffffffu)
        return std::nullopt;
    RgbPicture picture;
    if (!DecompressInto(data, size, picture))
        return std::nullopt;
    return picture;
}

} // namespace velmora::codec
