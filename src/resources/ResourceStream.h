#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velmora {

// A read-only stream over one program resource's bytes; the archive reader
// offers it to the unzip library as its file I/O. It owns nothing but itself:
// the bytes belong to the resource module.
class ResourceStream {
public:
    enum class Origin { Begin, Current, End };

    // Opens the "rfile" resource with that id. Only the mode "rb" is offered;
    // any other mode, a missing or empty resource, or one larger than a signed
    // 32-bit position can address gives no stream.
    static std::unique_ptr<ResourceStream> Open(int resourceId, const char* mode);

    // Moves the position; a target outside 0..size fails and leaves it unchanged.
    bool Seek(int64_t offset, Origin origin);
    int32_t Tell() const { return position_; }
    uint32_t Size() const { return size_; }

    // Copies whole items of itemSize bytes, at most as many as remain, and
    // returns the number of items copied.
    std::size_t Read(void* buffer, std::size_t itemSize, std::size_t itemCount);

private:
    ResourceStream(const unsigned char* data, uint32_t size)
        : data_(data)
        , size_(size)
    {
    }

    const unsigned char* data_;
    uint32_t size_;
    int32_t position_ = 0;
};

} // namespace velmora
