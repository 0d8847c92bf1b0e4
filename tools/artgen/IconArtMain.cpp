// velmora-iconart: paints the program's icon at every size it carries and
// the collection dialog's image strip, and packs the icon into the content of
// the program file's icon section and into the files the Windows resource
// script takes.
//
//   velmora-iconart --out <folder>
//
// Writes velmora3d-<side>.png, strip138.png and velmora3d.icon, and for
// Windows velmora3d.ico and strip138.bmp.

#include "IconArt.h"
#include "platform/ProgramIcon.h"
#include "WindowsArt.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> EncodePng(int width, int height, bool alpha, const std::vector<uint8_t>& pixels)
{
    png_image png {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const int stride = width * (alpha ? 4 : 3);
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), stride, nullptr))
        throw std::runtime_error(std::string("PNG encoding failed: ") + png.message);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels.data(), stride, nullptr))
        throw std::runtime_error(std::string("PNG encoding failed: ") + png.message);
    bytes.resize(size);
    return bytes;
}

// Written beside the target and renamed, so an interrupted run never leaves
// a half file that the next build would take as up to date.
void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    fs::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out)
            throw std::runtime_error("cannot write \"" + temp.string() + "\"");
    }
    fs::rename(temp, path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::string(argv[1]) != "--out") {
        std::fprintf(stderr, "usage: velmora-iconart --out <folder>\n");
        return 2;
    }
    try {
        const fs::path folder = argv[2];
        fs::create_directories(folder);
        std::vector<velmora::platform::IconImage> images;
        for (int side : velmora::art::kIconSides) {
            const velmora::art::RgbaImage icon = velmora::art::MakeProgramIcon(side);
            std::vector<uint8_t> png = EncodePng(icon.width, icon.height, true, icon.rgba);
            WriteFile(folder / ("velmora3d-" + std::to_string(side) + ".png"), png);
            images.push_back({side, side, std::move(png)});
        }
        velmora::art::Image strip = velmora::art::MakeImageStrip();
        WriteFile(folder / strip.name, EncodePng(strip.width, strip.height, false, strip.rgb));
        WriteFile(folder / "strip138.bmp", velmora::art::EncodeBmp24(strip));

        std::vector<velmora::art::IcoEntry> ico;
        for (int side : velmora::art::kWindowsIconSides) {
            velmora::art::IcoEntry entry {velmora::art::MakeProgramIcon(side), {}};
            if (side == 256)
                entry.png = EncodePng(side, side, true, entry.image.rgba);
            ico.push_back(std::move(entry));
        }
        WriteFile(folder / "velmora3d.ico", velmora::art::EncodeIco(ico));
        const std::vector<uint8_t> section = velmora::platform::BuildIconSection(images);
        if (section.empty())
            throw std::runtime_error("the icon images do not make a valid icon section");
        WriteFile(folder / "velmora3d.icon", section);
        std::printf("velmora-iconart: %zu icon sizes (%zu bytes in the section) and the strip in %s\n",
            images.size(), section.size(), folder.string().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-iconart: %s\n", e.what());
        return 1;
    }
    return 0;
}
