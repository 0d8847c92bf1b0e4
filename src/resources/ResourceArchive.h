#pragma once

#include <cstdint>
#include <memory>

#include "resources/HeapBlock.h"

namespace velmora {

inline constexpr std::size_t kArchiveNameSize = 256;

// One row of the member table, in central directory order.
struct ArchiveMember {
    char name[kArchiveNameSize]; // NUL-terminated; longer names are stored cut
    uint32_t uncompressedSize;
    uint32_t compressedSize;
    uint16_t method; // 0 stored, 8 deflated
    uint16_t flags; // general purpose bits; bit 0 means encrypted
    // Where the unzip library finds the member's central record again, so
    // that extracting never walks the directory.
    uint64_t directoryPosition;
    uint64_t fileIndex;
};

// The ZIP archive linked into the program (or any "rfile" resource), read in
// place through the unzip library. Calling order: Open, any number of
// Extract; the archive is released by Close, by opening again or when the
// object goes, whichever comes first.
class ResourceArchive {
public:
    ResourceArchive();
    ~ResourceArchive();
    ResourceArchive(const ResourceArchive&) = delete;
    ResourceArchive& operator=(const ResourceArchive&) = delete;

    // False on failure (traced); the archive is then closed.
    bool Open(int resourceId);

    // Hands over the whole member (found without regard to ASCII letter case)
    // and returns its size, > 0. Returns 0 and an empty block on failure,
    // including a zero-length member and a CRC-32 mismatch.
    long Extract(const char* memberName, HeapBlock& out);

    // Releases the table and the unzip handle; nothing happens when already
    // closed.
    void Close();

    bool IsOpen() const { return handle_ != nullptr; }
    const char* Name() const { return name_; }
    int32_t MemberCount() const { return memberCount_; }
    uint32_t CommentLength() const { return commentLength_; }
    // nullptr when index is out of range.
    const ArchiveMember* Member(int32_t index) const;

private:
    // The one place the unzip handle is closed.
    struct UnzipCloser {
        void operator()(void* handle) const noexcept;
    };
    using UnzipHandle = std::unique_ptr<void, UnzipCloser>;

    const ArchiveMember* Find(const char* memberName) const;

    char name_[kArchiveNameSize];
    UnzipHandle handle_; // unzFile
    int32_t memberCount_ = 0;
    uint32_t commentLength_ = 0;
    uint32_t resourceSize_ = 0;
    std::unique_ptr<ArchiveMember[]> members_;
};

} // namespace velmora
