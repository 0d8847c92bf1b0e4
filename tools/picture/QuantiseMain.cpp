// velmora-quantise: makes the program's 256-colour product picture from a
// PNG frame of velmora3d-render (see res/bitmaps/README.md).
//
//   velmora-quantise --in frame.png --shrink 2 --out bitmap145.bmp

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <png.h>

#include "Quantise.h"

namespace {

bool ReadPng(const std::string& path, velmora::tools::RgbImage& image)
{
    png_image png {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        std::fprintf(stderr, "velmora-quantise: %s: %s\n", path.c_str(), png.message);
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    std::vector<png_byte> bytes(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, bytes.data(), 0, nullptr)) {
        std::fprintf(stderr, "velmora-quantise: %s: %s\n", path.c_str(), png.message);
        return false;
    }
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string in, out;
    int shrink = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--in") == 0)
            in = argv[i + 1];
        else if (std::strcmp(argv[i], "--out") == 0)
            out = argv[i + 1];
        else if (std::strcmp(argv[i], "--shrink") == 0)
            shrink = std::atoi(argv[i + 1]);
    }
    if (in.empty() || out.empty() || shrink < 1) {
        std::fprintf(stderr, "usage: %s --in FRAME.png --out PICTURE.bmp [--shrink N]\n", argv[0]);
        return 2;
    }
    velmora::tools::RgbImage frame, shrunk;
    if (!ReadPng(in, frame))
        return 1;
    if (!velmora::tools::ShrinkByBoxes(frame, shrink, shrunk)) {
        std::fprintf(
            stderr, "velmora-quantise: %dx%d does not divide by %d\n", frame.width, frame.height, shrink);
        return 1;
    }
    const std::vector<uint8_t> bmp = velmora::tools::EncodeBmp8(velmora::tools::Quantise(shrunk));
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    if (!file) {
        std::fprintf(stderr, "velmora-quantise: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
