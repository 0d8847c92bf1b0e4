#pragma once
// Test helpers of the scene suites: small ZIP archives built in memory with
// plain JPEG images, registered in place of the program's archive.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "codec/JpegEncoder.h"
#include "codec/ZipWriter.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "scene/SceneTextures.h"

namespace velmora::test {

using Bytes = std::vector<uint8_t>;

// A baseline JPEG of one colour.
inline Bytes SolidJpeg(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    Bytes rgb;
    for (int i = 0; i < width * height; ++i)
        rgb.insert(rgb.end(), {r, g, b});
    return codec::EncodeJpeg(rgb.data(), width, height, 3);
}

// Collects the members of an archive for the shared ZIP writer.
class ZipBuilder {
public:
    void Add(std::string name, Bytes data)
    {
        entries_.push_back(codec::ZipEntry {.name = std::move(name), .data = std::move(data)});
    }
    void Add(std::string name, const std::string& text)
    {
        Add(std::move(name), Bytes(text.begin(), text.end()));
    }
    Bytes Finish() const { return codec::WriteZip(entries_); }

private:
    std::vector<codec::ZipEntry> entries_;
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
    return archive.Open(kArchiveResourceId);
}

} // namespace velmora::test
