#include "scene/headless/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace velmora {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

// libpng reports fatal errors by longjmp; keep that inside this function and
// free of C++ objects with destructors between setjmp and the jump.
bool WriteRows(std::FILE* file, int width, int height, png_bytep* rows, std::string& error)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        error = "png_create_write_struct failed";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "png_create_info_struct failed";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = "libpng could not write the image";
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
        PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // Our rows are RGBA; the alpha of a cleared frame is 0, which would make
    // the picture transparent, so it is dropped.
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbaTopDown,
    std::string& error)
{
    if (width <= 0 || height <= 0
        || rgbaTopDown.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        error = "image size does not match its pixels";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)]
            = const_cast<png_bytep>(rgbaTopDown.data() + static_cast<std::size_t>(y) * width * 4);

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    if (!WriteRows(file.get(), width, height, rows.data(), error))
        return false;
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
        error = "write error on " + path;
        return false;
    }
    return true;
}

} // namespace velmora
