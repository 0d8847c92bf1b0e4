#include "resources/ResourceArchive.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include <minizip/unzip.h>

#include "resources/DiagTrace.h"
#include "resources/ResourceModule.h"
#include "resources/ResourceStream.h"

namespace velmora {

namespace {

// [SECTION] The unzip library's file I/O over a ResourceStream

constexpr char kResourceDataName[] = "_ResourceData";

// Deflate cannot expand better than 1032:1, so a member claiming more is
// damaged; the cap keeps a hostile size from reserving gigabytes.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kMaxMemberSize = 64u * 1024 * 1024;
// The smallest central directory record, used to bound the member count.
constexpr uint64_t kCentralRecordSize = 46;

// The mode text the stream understands, from the unzip library's mode bits.
const char* ModeText(int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ)
        return "rb";
    if (mode & ZLIB_FILEFUNC_MODE_EXISTING)
        return "r+b";
    if (mode & ZLIB_FILEFUNC_MODE_CREATE)
        return "wb";
    return "";
}

ResourceStream* AsStream(voidpf stream)
{
    return static_cast<ResourceStream*>(stream);
}

voidpf ZCALLBACK OpenStream(voidpf, const void* resourceId, int mode)
{
    if (resourceId == nullptr)
        return nullptr;
    return ResourceStream::Open(*static_cast<const int*>(resourceId), ModeText(mode)).release();
}

uLong ZCALLBACK ReadStream(voidpf, voidpf stream, void* buffer, uLong size)
{
    return static_cast<uLong>(AsStream(stream)->Read(buffer, 1, size));
}

// The archive is read-only: writing always fails.
uLong ZCALLBACK WriteStream(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf stream)
{
    return static_cast<ZPOS64_T>(AsStream(stream)->Tell());
}

long ZCALLBACK SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    ResourceStream::Origin from;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        from = ResourceStream::Origin::Begin;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        from = ResourceStream::Origin::Current;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        from = ResourceStream::Origin::End;
        break;
    default:
        return -1;
    }
    // The library passes relative offsets as two's complement.
    return AsStream(stream)->Seek(static_cast<int64_t>(offset), from) ? 0 : -1;
}

int ZCALLBACK CloseStream(voidpf, voidpf stream)
{
    delete AsStream(stream);
    return 0;
}

int ZCALLBACK StreamError(voidpf, voidpf)
{
    return 0;
}

zlib_filefunc64_def StreamFunctions()
{
    zlib_filefunc64_def functions {};
    functions.zopen64_file = OpenStream;
    functions.zread_file = ReadStream;
    functions.zwrite_file = WriteStream;
    functions.ztell64_file = TellStream;
    functions.zseek64_file = SeekStream;
    functions.zclose_file = CloseStream;
    functions.zerror_file = StreamError;
    functions.opaque = nullptr;
    return functions;
}

// [SECTION] Helpers

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NameEquals(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

uint32_t ClampTo32(ZPOS64_T value)
{
    return value > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                        : static_cast<uint32_t>(value);
}

// Whether the member's recorded sizes and method can be extracted at all.
bool Extractable(const ArchiveMember& member, uint32_t archiveSize)
{
    if (member.method != 0 && member.method != Z_DEFLATED)
        return false;
    if (member.flags & 1u) // encrypted: no password is ever given
        return false;
    if (member.compressedSize > archiveSize || member.uncompressedSize > kMaxMemberSize)
        return false;
    const uint64_t limit = member.method == 0 ? member.compressedSize
                                              : (uint64_t {member.compressedSize} + 1) * kMaxDeflateRatio;
    return member.uncompressedSize <= limit;
}

} // namespace

// [SECTION] ResourceArchive

ResourceArchive::ResourceArchive()
{
    name_[0] = '\0';
}

ResourceArchive::~ResourceArchive() = default;

void ResourceArchive::UnzipCloser::operator()(void* handle) const noexcept
{
    unzClose(static_cast<unzFile>(handle));
}

const ArchiveMember* ResourceArchive::Member(int32_t index) const
{
    if (index < 0 || index >= memberCount_)
        return nullptr;
    return &members_[static_cast<std::size_t>(index)];
}

bool ResourceArchive::Open(int resourceId)
{
    Close();
    std::strcpy(name_, kResourceDataName);

    zlib_filefunc64_def functions = StreamFunctions();
    UnzipHandle owner(unzOpen2_64(&resourceId, &functions));
    const auto handle = static_cast<unzFile>(owner.get());
    unz_global_info64 info {};
    const uint64_t archiveSize = FindProgramResource(kArchiveResourceType, resourceId).size;
    // The library accepts an archive without members and reads the first
    // central record lazily; both make the archive unusable here.
    if (handle == nullptr || unzGetGlobalInfo64(handle, &info) != UNZ_OK || info.number_entry == 0
        || info.number_entry > archiveSize / kCentralRecordSize || unzGoToFirstFile(handle) != UNZ_OK) {
        DiagTrace("Can't open file \"%s\"", name_);
        return false;
    }

    const auto count = static_cast<std::size_t>(info.number_entry);
    std::unique_ptr<ArchiveMember[]> members(new (std::nothrow) ArchiveMember[count]);
    if (!members) {
        DiagTrace("Not enought memory to load pak file \"%s\"", name_);
        return false;
    }

    // A damaged record ends the listing; the members before it stay usable.
    std::size_t listed = 0;
    for (; listed < count; ++listed) {
        ArchiveMember& row = members[listed];
        unz_file_info64 file {};
        if (unzGetCurrentFileInfo64(handle, &file, row.name, kArchiveNameSize - 1, nullptr, 0, nullptr, 0)
            != UNZ_OK)
            break;
        // The library leaves a name of 255 bytes or more unterminated.
        if (file.size_filename < kArchiveNameSize - 1)
            row.name[file.size_filename] = '\0';
        row.name[kArchiveNameSize - 1] = '\0';
        row.uncompressedSize = ClampTo32(file.uncompressed_size);
        row.compressedSize = ClampTo32(file.compressed_size);
        row.method = static_cast<uint16_t>(file.compression_method);
        row.flags = static_cast<uint16_t>(file.flag);
        unz64_file_pos position {};
        if (unzGetFilePos64(handle, &position) != UNZ_OK)
            break;
        row.directoryPosition = position.pos_in_zip_directory;
        row.fileIndex = position.num_of_file;
        if (listed + 1 < count && unzGoToNextFile(handle) != UNZ_OK) {
            ++listed;
            break;
        }
    }

    handle_ = std::move(owner);
    members_ = std::move(members);
    memberCount_ = static_cast<int32_t>(listed);
    commentLength_ = static_cast<uint32_t>(info.size_comment);
    resourceSize_ = ClampTo32(archiveSize);
    return true;
}

const ArchiveMember* ResourceArchive::Find(const char* memberName) const
{
    if (memberName == nullptr)
        return nullptr;
    for (int32_t i = 0; i < memberCount_; ++i)
        if (NameEquals(members_[static_cast<std::size_t>(i)].name, memberName))
            return &members_[static_cast<std::size_t>(i)];
    return nullptr;
}

long ResourceArchive::Extract(const char* memberName, HeapBlock& out)
{
    out.reset();
    const ArchiveMember* member = Find(memberName);
    if (member == nullptr) {
        DiagTrace("File \"%s:%s\" not found", name_, memberName != nullptr ? memberName : "");
        return 0;
    }
    // A zero-length member yields nothing, without a message: every caller
    // treats 0 as failure.
    if (member->uncompressedSize == 0)
        return 0;

    bool ok = Extractable(*member, resourceSize_);
    HeapBlock block;
    if (ok) {
        block.reset(static_cast<unsigned char*>(std::malloc(member->uncompressedSize)));
        ok = block != nullptr;
    }
    if (ok) {
        const unz64_file_pos position {member->directoryPosition, member->fileIndex};
        ok = unzGoToFilePos64(handle_.get(), &position) == UNZ_OK
            && unzOpenCurrentFile(handle_.get()) == UNZ_OK;
        if (ok) {
            const int read = unzReadCurrentFile(handle_.get(), block.get(), member->uncompressedSize);
            // Closing reports a CRC-32 mismatch once the whole member has been
            // read; damaged data must never reach a decoder.
            const int closed = unzCloseCurrentFile(handle_.get());
            ok = read >= 0 && static_cast<uint32_t>(read) == member->uncompressedSize && closed == UNZ_OK;
        }
    }
    if (!ok) {
        DiagTrace("Can't extract file \"%s:%s\"", name_, memberName);
        return 0;
    }
    out = std::move(block);
    return static_cast<long>(member->uncompressedSize);
}

void ResourceArchive::Close()
{
    members_.reset();
    memberCount_ = 0;
    commentLength_ = 0;
    resourceSize_ = 0;
    handle_.reset();
}

} // namespace velmora
