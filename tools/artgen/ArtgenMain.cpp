// velmora-artgen: paints the art, builds the meshes and writes the archive
// that the build links into the programs.
//
//   velmora-artgen --stars <stars.dat> --out <archive.zip>

#include "ArchiveBuild.h"
#include "ZipPack.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Written beside the target and renamed, so an interrupted run never leaves a
// half archive that the next build would take as up to date.
void WriteFileAtomically(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            throw std::runtime_error("cannot write \"" + temp.string() + "\"");
        }
    }
    std::filesystem::rename(temp, path);
}

int Usage()
{
    std::fprintf(stderr, "usage: velmora-artgen --stars <stars.dat> --out <archive.zip>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string starsPath;
    std::string outPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--stars" && i + 1 < argc) {
            starsPath = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            outPath = argv[++i];
        } else {
            return Usage();
        }
    }
    if (starsPath.empty() || outPath.empty()) {
        return Usage();
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<uint8_t> stars
            = velmora::art::ReadWholeFile(starsPath, velmora::art::kMaxStarCatalogueBytes);
        const std::vector<uint8_t> archive = velmora::art::BuildArchive(stars);
        WriteFileAtomically(outPath, archive);
        const auto ms
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("velmora-artgen: %zu members, %zu bytes in %lld ms\n", velmora::kArchiveMemberCount,
            archive.size(), static_cast<long long>(ms.count()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-artgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
