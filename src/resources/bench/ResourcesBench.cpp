// Times what the scene does at start-up with the linked-in archive: open it,
// decode every image it loads, load the shape mesh, close it. Prints the
// median of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "resources/ArchiveMembers.h"
#include "resources/DecodedImage.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "resources/ShapeMesh.h"

namespace {

using namespace velmora;
using Clock = std::chrono::steady_clock;

// Every picture the scene loads, in archive order.
std::vector<std::string> ImageMembers()
{
    std::vector<std::string> names;
    for (const std::string_view name : kArchiveMemberNames)
        if (name.ends_with(".jpg"))
            names.emplace_back(name);
    return names;
}

const char* const kShapeMember = ArchiveMemberName(ArchiveMemberId::Phobos);

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct RunTimes {
    double total = 0;
    std::vector<double> perMember; // images, then the shape
};

bool RunOnce(const std::vector<std::string>& images, RunTimes& times, bool report)
{
    const auto start = Clock::now();
    velmora::ResourceArchive archive;
    if (!archive.Open(velmora::kArchiveResourceId)) {
        std::fprintf(stderr, "cannot open the archive resource\n");
        return false;
    }
    times.perMember.clear();
    for (const std::string& name : images) {
        const auto t0 = Clock::now();
        velmora::DecodedImage image;
        if (!image.Load(archive, name.c_str())) {
            std::fprintf(stderr, "cannot load %s\n", name.c_str());
            return false;
        }
        times.perMember.push_back(Milliseconds(Clock::now() - t0));
        if (report)
            std::printf(
                "  %-20s %5d x %-5d %2d bpp\n", name.c_str(), image.width, image.height, image.bitsPerPixel);
    }
    const auto t0 = Clock::now();
    velmora::HeapBlock bytes;
    const long size = archive.Extract(kShapeMember, bytes);
    velmora::ShapeMesh mesh;
    if (size <= 0 || !mesh.Load(bytes.get(), size)) {
        std::fprintf(stderr, "cannot load %s\n", kShapeMember);
        return false;
    }
    times.perMember.push_back(Milliseconds(Clock::now() - t0));
    if (report)
        std::printf("  %-20s %d triangles\n", kShapeMember, mesh.count);
    archive.Close();
    times.total = Milliseconds(Clock::now() - start);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 9;
    const char* archiveFile = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--archive") == 0 && i + 1 < argc) {
            archiveFile = argv[++i];
        } else {
            std::fprintf(stderr,
                "usage: %s [--runs N] [--archive FILE.zip]\n"
                "  --archive  time a ZIP file instead of the linked-in archive\n",
                argv[0]);
            return 2;
        }
    }

    std::vector<char> fileBytes;
    if (archiveFile != nullptr) {
        std::ifstream in(archiveFile, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", archiveFile);
            return 1;
        }
        fileBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        velmora::RegisterProgramResource(
            velmora::kArchiveResourceType, velmora::kArchiveResourceId, fileBytes.data(), fileBytes.size());
    }
    const velmora::ResourceBytes resource
        = velmora::FindProgramResource(velmora::kArchiveResourceType, velmora::kArchiveResourceId);
    if (resource.size == 0) {
        std::fprintf(stderr, "no archive: this build links none; give one with --archive FILE.zip\n");
        return 1;
    }
    std::printf("archive: %s, %zu bytes\n", archiveFile ? archiveFile : "linked in", resource.size);

    const std::vector<std::string> images = ImageMembers();
    std::vector<RunTimes> all(static_cast<std::size_t>(runs));
    for (int r = 0; r < runs; ++r)
        if (!RunOnce(images, all[static_cast<std::size_t>(r)], r == 0))
            return 1;

    std::vector<double> totals;
    for (const RunTimes& t : all)
        totals.push_back(t.total);
    std::printf("per member (median of %d runs):\n", runs);
    for (std::size_t m = 0; m <= images.size(); ++m) {
        std::vector<double> column;
        for (const RunTimes& t : all)
            column.push_back(t.perMember[m]);
        std::printf(
            "  %-20s %8.2f ms\n", m < images.size() ? images[m].c_str() : kShapeMember, Median(column));
    }
    std::printf("open + %zu images + shape + close: median %.2f ms, min %.2f ms, max %.2f ms (%d runs)\n",
        images.size(), Median(totals), *std::min_element(totals.begin(), totals.end()),
        *std::max_element(totals.begin(), totals.end()), runs);
    return 0;
}
