#pragma once
// Test helpers of the scene suites: small ZIP archives built in memory (with
// JPEG images made here), registered in place of the program's archive, and
// a headless GL context.

#include <jpeglib.h>
#include <minizip/zip.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "scene/SceneTextures.h"

namespace velmora::test {

using Bytes = std::vector<uint8_t>;

// Baseline JPEG of an RGB picture given by a pixel function.
inline Bytes EncodeJpeg(int width, int height, const std::function<void(int x, int y, uint8_t rgb[3])>& pixel)
{
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr jerr {};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<std::size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x)
            pixel(x, static_cast<int>(cinfo.next_scanline), &row[static_cast<std::size_t>(x) * 3]);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes result(out, out + outSize);
    std::free(out);
    return result;
}

inline Bytes SolidJpeg(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    return EncodeJpeg(width, height, [=](int, int, uint8_t rgb[3]) {
        rgb[0] = r;
        rgb[1] = g;
        rgb[2] = b;
    });
}

// A ZIP archive of deflated members, written through minizip to a temporary
// file and read back.
class ZipBuilder {
public:
    void Add(std::string name, Bytes data) { members_.emplace_back(std::move(name), std::move(data)); }
    void Add(std::string name, const std::string& text)
    {
        Add(std::move(name), Bytes(text.begin(), text.end()));
    }

    Bytes Finish() const
    {
        char path[] = "/tmp/velmora-scene-test-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0)
            return {};
        close(fd);
        zipFile zf = zipOpen(path, APPEND_STATUS_CREATE);
        for (const auto& [name, data] : members_) {
            zip_fileinfo info {};
            zipOpenNewFileInZip(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6);
            if (!data.empty())
                zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size()));
            zipCloseFileInZip(zf);
        }
        zipClose(zf, nullptr);
        std::ifstream in(path, std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::remove(path);
        return bytes;
    }

private:
    std::vector<std::pair<std::string, Bytes>> members_;
};

// A one-triangle shape mesh file: int32 count, then 24 floats.
inline Bytes OneTriangleShape()
{
    Bytes bytes(4 + 96, 0);
    const int32_t count = 1;
    std::memcpy(bytes.data(), &count, 4);
    const float v[24] = {0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 0, 1};
    std::memcpy(bytes.data() + 4, v, sizeof v);
    return bytes;
}

// Everything the scene loads, with plain 16x16 images, except the members
// named in skip.
inline Bytes SyntheticSceneArchive(const std::vector<ArchiveMemberId>& skip = {})
{
    auto skipped
        = [&](ArchiveMemberId member) { return std::find(skip.begin(), skip.end(), member) != skip.end(); };
    ZipBuilder zip;
    for (const TextureRow& entry : kTextureTable)
        if (!skipped(entry.member))
            zip.Add(ArchiveMemberName(entry.member), SolidJpeg(16, 16, 200, 150, 100));
    if (!skipped(ArchiveMemberId::Stars))
        zip.Add(ArchiveMemberName(ArchiveMemberId::Stars),
            std::string("1.00;25.00;0.00;A\r\n2.00;0.00;50.00;M\r\n"));
    if (!skipped(ArchiveMemberId::Phobos))
        zip.Add(ArchiveMemberName(ArchiveMemberId::Phobos), OneTriangleShape());
    return zip.Finish();
}

// The bytes must outlive the registration; both live here.
class RegisteredArchive {
public:
    explicit RegisteredArchive(Bytes bytes)
        : bytes_(std::move(bytes))
        , scoped_(kArchiveResourceType, kArchiveResourceId, bytes_.data(), bytes_.size())
    {
    }

private:
    Bytes bytes_;
    ScopedProgramResource scoped_;
};

// True when the program's own archive is linked in and opens.
inline bool RealArchiveAvailable()
{
    ResourceArchive archive;
    const bool ok = archive.Open(kArchiveResourceId) == 1;
    archive.Close();
    return ok;
}

} // namespace velmora::test
