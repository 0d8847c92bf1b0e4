#include "ZipPack.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace velmora::art {

namespace {

// A seekable in-memory file for minizip's I/O table. Writing may seek back
// (the local headers get their sizes after the data) and overwrite.
struct MemoryFile {
    std::vector<uint8_t>* out = nullptr; // set when writing
    const uint8_t* in = nullptr; // set when reading
    size_t inSize = 0;
    size_t pos = 0;
    bool failed = false;

    size_t Size() const { return out != nullptr ? out->size() : inSize; }
};

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int mode)
{
    auto* file = static_cast<MemoryFile*>(opaque);
    const bool wantsWrite = (mode & ZLIB_FILEFUNC_MODE_WRITE) != 0;
    if (wantsWrite != (file->out != nullptr)) {
        return nullptr;
    }
    file->pos = 0;
    return file;
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* file = static_cast<MemoryFile*>(stream);
    const uint8_t* data = file->out != nullptr ? file->out->data() : file->in;
    const size_t available = file->Size() - std::min(file->pos, file->Size());
    const size_t n = std::min<size_t>(size, available);
    if (n > 0) {
        std::memcpy(buf, data + file->pos, n);
    }
    file->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf stream, const void* buf, uLong size)
{
    auto* file = static_cast<MemoryFile*>(stream);
    if (file->out == nullptr) {
        file->failed = true;
        return 0;
    }
    if (file->pos + size > file->out->size()) {
        file->out->resize(file->pos + size);
    }
    std::memcpy(file->out->data() + file->pos, buf, size);
    file->pos += size;
    return size;
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
        base = file->Size();
        break;
    default:
        return -1;
    }
    if (offset > file->Size() || base > file->Size() - offset) {
        return -1;
    }
    file->pos = static_cast<size_t>(base + offset);
    return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK ErrorMemory(voidpf, voidpf stream)
{
    return static_cast<MemoryFile*>(stream)->failed ? 1 : 0;
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

// Written into every entry so the bytes never depend on the clock.
constexpr tm_zip kFixedTime {0, 0, 12, 1, 0, 2010};

struct ZipCloser {
    void operator()(void* zip) const { zipClose(static_cast<zipFile>(zip), nullptr); }
};
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
    std::vector<uint8_t> bytes;
    MemoryFile file;
    file.out = &bytes;
    zlib_filefunc64_def functions = MemoryFunctions(&file);
    std::unique_ptr<void, ZipCloser> zip(zipOpen2_64("archive", APPEND_STATUS_CREATE, nullptr, &functions));
    if (!zip) {
        throw std::runtime_error("zip: cannot start the archive");
    }
    for (const ZipMember& m : members) {
        if (m.name.empty() || m.name.size() >= 256 || m.data.size() > kMaxZipMemberBytes) {
            throw std::runtime_error("zip: member \"" + m.name + "\" has a bad name or size");
        }
        zip_fileinfo info {};
        info.tmz_date = kFixedTime;
        const int opened = zipOpenNewFileInZip3_64(zip.get(), m.name.c_str(), &info, nullptr, 0, nullptr, 0,
            nullptr, Z_DEFLATED, Z_BEST_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
            nullptr, 0, 0);
        if (opened != ZIP_OK) {
            throw std::runtime_error("zip: cannot add \"" + m.name + "\"");
        }
        const int written = m.data.empty()
            ? ZIP_OK
            : zipWriteInFileInZip(zip.get(), m.data.data(), static_cast<unsigned>(m.data.size()));
        if (written != ZIP_OK || zipCloseFileInZip(zip.get()) != ZIP_OK) {
            throw std::runtime_error("zip: cannot deflate \"" + m.name + "\"");
        }
    }
    const int closed = zipClose(static_cast<zipFile>(zip.release()), nullptr);
    if (closed != ZIP_OK || file.failed) {
        throw std::runtime_error("zip: cannot finish the archive");
    }
    return bytes;
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

} // namespace velmora::art
