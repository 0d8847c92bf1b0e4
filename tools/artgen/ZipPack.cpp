#include "ZipPack.h"

#include "codec/ZipWriter.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace velmora::art {

namespace {

// A read-only in-memory file for minizip's I/O table.
struct MemoryFile {
    const uint8_t* in = nullptr;
    size_t inSize = 0;
    size_t pos = 0;
};

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int mode)
{
    auto* file = static_cast<MemoryFile*>(opaque);
    if ((mode & ZLIB_FILEFUNC_MODE_WRITE) != 0) {
        return nullptr;
    }
    file->pos = 0;
    return file;
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* file = static_cast<MemoryFile*>(stream);
    const size_t available = file->inSize - std::min(file->pos, file->inSize);
    const size_t n = std::min<size_t>(size, available);
    if (n > 0) {
        std::memcpy(buf, file->in + file->pos, n);
    }
    file->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream)
{
    return static_cast<MemoryFile*>(stream)->pos;
}

long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* file = static_cast<MemoryFile*>(stream);
    uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = file->pos;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = file->inSize;
        break;
    default:
        return -1;
    }
    if (offset > file->inSize || base > file->inSize - offset) {
        return -1;
    }
    file->pos = static_cast<size_t>(base + offset);
    return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK ErrorMemory(voidpf, voidpf)
{
    return 0;
}

zlib_filefunc64_def MemoryFunctions(MemoryFile* file)
{
    zlib_filefunc64_def f {};
    f.zopen64_file = OpenMemory;
    f.zread_file = ReadMemory;
    f.zwrite_file = WriteMemory;
    f.ztell64_file = TellMemory;
    f.zseek64_file = SeekMemory;
    f.zclose_file = CloseMemory;
    f.zerror_file = ErrorMemory;
    f.opaque = file;
    return f;
}

struct UnzCloser {
    void operator()(void* unz) const { unzClose(static_cast<unzFile>(unz)); }
};
using UnzHandle = std::unique_ptr<void, UnzCloser>;

UnzHandle OpenForReading(MemoryFile& file, zlib_filefunc64_def& functions)
{
    functions = MemoryFunctions(&file);
    return UnzHandle(unzOpen2_64("archive", &functions));
}

} // namespace

std::vector<uint8_t> PackZip(const std::vector<ZipMember>& members)
{
    std::vector<codec::ZipEntry> entries;
    entries.reserve(members.size());
    for (const ZipMember& m : members) {
        if (m.name.empty() || m.name.size() >= 256 || m.data.size() > kMaxZipMemberBytes) {
            throw std::runtime_error("zip: member \"" + m.name + "\" has a bad name or size");
        }
        entries.push_back(codec::ZipEntry {.name = m.name, .data = m.data});
    }
    return codec::WriteZip(entries);
}

std::optional<std::vector<ZipMember>> UnpackZip(const std::vector<uint8_t>& bytes)
{
    MemoryFile file;
    file.in = bytes.data();
    file.inSize = bytes.size();
    zlib_filefunc64_def functions {};
    UnzHandle unz = OpenForReading(file, functions);
    if (!unz) {
        return std::nullopt;
    }
    unz_global_info64 global {};
    if (unzGetGlobalInfo64(unz.get(), &global) != UNZ_OK || global.number_entry > kMaxZipMembers) {
        return std::nullopt;
    }
    std::vector<ZipMember> members;
    uint64_t total = 0;
    for (int status = unzGoToFirstFile(unz.get()); status == UNZ_OK; status = unzGoToNextFile(unz.get())) {
        if (members.size() >= kMaxZipMembers) {
            return std::nullopt;
        }
        std::array<char, 256> name {};
        unz_file_info64 info {};
        if (unzGetCurrentFileInfo64(unz.get(), &info, name.data(), name.size(), nullptr, 0, nullptr, 0)
                != UNZ_OK
            || info.size_filename >= name.size() || info.uncompressed_size > kMaxZipMemberBytes
            || total + info.uncompressed_size > kMaxZipTotalBytes) {
            return std::nullopt;
        }
        total += info.uncompressed_size;
        ZipMember m;
        m.name.assign(name.data(), info.size_filename);
        m.data.resize(static_cast<size_t>(info.uncompressed_size));
        if (unzOpenCurrentFile(unz.get()) != UNZ_OK) {
            return std::nullopt;
        }
        const int got = m.data.empty()
            ? 0
            : unzReadCurrentFile(unz.get(), m.data.data(), static_cast<unsigned>(m.data.size()));
        std::array<uint8_t, 1> extra {};
        const int more = unzReadCurrentFile(unz.get(), extra.data(), 1);
        const int closed = unzCloseCurrentFile(unz.get()); // reports a CRC mismatch here
        if (got < 0 || static_cast<size_t>(got) != m.data.size() || more != 0 || closed != UNZ_OK) {
            return std::nullopt;
        }
        members.push_back(std::move(m));
    }
    if (members.size() != global.number_entry) {
        return std::nullopt;
    }
    return members;
}

std::optional<bool> ZipMemberIsDeflated(const std::vector<uint8_t>& bytes, const std::string& name)
{
    MemoryFile file;
    file.in = bytes.data();
    file.inSize = bytes.size();
    zlib_filefunc64_def functions {};
    UnzHandle unz = OpenForReading(file, functions);
    if (!unz || unzLocateFile(unz.get(), name.c_str(), 0) != UNZ_OK) {
        return std::nullopt;
    }
    unz_file_info64 info {};
    if (unzGetCurrentFileInfo64(unz.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return std::nullopt;
    }
    return info.compression_method == Z_DEFLATED;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path, uint64_t limit)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open \"" + path + "\"");
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<uint64_t>(size) > limit) {
        throw std::runtime_error("\"" + path + "\" is empty or too large");
    }
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in) {
        throw std::runtime_error("cannot read \"" + path + "\"");
    }
    return bytes;
}

} // namespace velmora::art
