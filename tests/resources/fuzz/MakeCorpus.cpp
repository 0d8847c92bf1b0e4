// Writes the small seed files of the resources fuzz corpora into DIR/<target>/.
// The committed corpora came from this program; rerun it after changing the
// builders in ResourceTestSupport.h.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "../ResourceTestSupport.h"

namespace {

using namespace velmora::test;
namespace fs = std::filesystem;

void Write(const fs::path& dir, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (bytes.size() >= 65536)
        std::fprintf(stderr, "warning: %s is %zu bytes\n", name.c_str(), bytes.size());
}

Bytes MeshFile(int32_t n, std::size_t bytesAfterCount)
{
    Bytes file;
    PutU32(file, static_cast<uint32_t>(n));
    for (std::size_t i = 0; i < bytesAfterCount / 4; ++i) {
        const float v = static_cast<float>(i % 24) * 0.125f - 1.0f;
        unsigned char raw[4];
        std::memcpy(raw, &v, 4);
        file.insert(file.end(), raw, raw + 4);
    }
    return file;
}

Bytes Rgb(const Picture& p)
{
    if (p.channels == 3)
        return p.pixels;
    Bytes rgb;
    for (std::size_t i = 0; i < p.pixels.size(); i += 4)
        rgb.insert(rgb.end(), {p.pixels[i], p.pixels[i + 1], p.pixels[i + 2]});
    return rgb;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];

    // TGA
    const fs::path tga = root / "tga";
    Write(tga, "raw24_bottom_first.tga", EncodeTga(MakeGradient(7, 5, 3), false, false));
    Write(tga, "raw32_top_first.tga", EncodeTga(MakeGradient(5, 4, 4), false, true));
    Write(tga, "rle24_across_rows.tga", EncodeTga(MakeBands(13, 9, 3), true, false));
    Write(tga, "rle32_top_first.tga", EncodeTga(MakeBands(9, 6, 4), true, true));
    Bytes cutPacket = TgaHeader(10, 2, 2, 24, 0x20);
    cutPacket.insert(cutPacket.end(), {0xFF, 1, 2, 3});
    Write(tga, "final_packet_cut.tga", cutPacket);
    Bytes truncated = EncodeTga(MakeBands(16, 8, 3), true, false);
    truncated.resize(truncated.size() / 2);
    Write(tga, "truncated_rle.tga", truncated);
    Bytes colourMap = TgaHeader(1, 4, 4, 8, 0, 1);
    colourMap.resize(64, 0);
    Write(tga, "colour_mapped.tga", colourMap);

    // JPEG
    const fs::path jpeg = root / "jpeg";
    const Picture photo = MakeGradient(40, 24, 3);
    Write(jpeg, "baseline.jpg", EncodeJpeg(photo.pixels, 40, 24, 3, 80));
    Write(jpeg, "progressive.jpg", EncodeJpeg(photo.pixels, 40, 24, 3, 80, true));
    Bytes grey(17 * 11);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<unsigned char>(i * 3);
    Write(jpeg, "grey_odd_size.jpg", EncodeJpeg(grey, 17, 11, 1, 75));
    Bytes cmyk(8 * 8 * 4);
    for (std::size_t i = 0; i < cmyk.size(); ++i)
        cmyk[i] = static_cast<unsigned char>(i * 5);
    Write(jpeg, "cmyk.jpg", EncodeJpeg(cmyk, 8, 8, 4, 75));
    Bytes cut = EncodeJpeg(photo.pixels, 40, 24, 3, 80);
    cut.resize(cut.size() * 2 / 3);
    Write(jpeg, "truncated.jpg", cut);

    // Shape mesh
    const fs::path mesh = root / "shape_mesh";
    Write(mesh, "two_triangles.dat", MeshFile(2, 192));
    Write(mesh, "empty.dat", MeshFile(0, 0));
    Write(mesh, "short.dat", MeshFile(3, 200));
    Write(mesh, "negative.dat", MeshFile(-5, 96));

    // Archive
    const fs::path archive = root / "archive";
    const Picture small = MakeBands(12, 8, 3);
    const std::vector<ZipEntry> sceneLike = {
        {"Flare1.jpg", EncodeJpeg(Rgb(small), 12, 8, 3, 80)},
        {"pic.tga", EncodeTga(small, true, false)},
        {"phobos2.dat", MeshFile(2, 192)},
        {"notes.txt", ToBytes("stored member"), 0},
    };
    Write(archive, "images_and_mesh.zip", WriteZip(sceneLike, "archive comment"));
    ZipEntry badCrc {"d.txt", ToBytes("damaged content")};
    badCrc.badCrc = true;
    ZipEntry method12 {"b.bin", ToBytes("not bzip2"), 12};
    ZipEntry localMismatch {"m.txt", ToBytes("local method differs")};
    localMismatch.localMethod = 0;
    Write(archive, "damaged_members.zip", WriteZip({badCrc, method12, localMismatch, {"empty", {}}}));
    Write(archive, "case_twins.zip", WriteZip({{"A.txt", ToBytes("first")}, {"a.TXT", ToBytes("second")}}));
    Write(archive, "empty.zip", WriteZip({}));
    Write(archive, "long_name.zip",
        WriteZip({{std::string(300, 'x') + ".tga", EncodeTga(small, false, true)}}));
    return 0;
}
