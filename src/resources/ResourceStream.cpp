#include "resources/ResourceStream.h"

#include <cstring>
#include <limits>
#include <new>

#include "resources/ResourceModule.h"

namespace velmora {

std::unique_ptr<ResourceStream> ResourceStream::Open(int resourceId, const char* mode)
{
    if (mode == nullptr || std::strcmp(mode, "rb") != 0)
        return nullptr;
    const ResourceBytes bytes = FindProgramResource(kArchiveResourceType, resourceId);
    // Positions are signed 32-bit, so the whole resource must be addressable.
    if (bytes.data == nullptr || bytes.size == 0
        || bytes.size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return nullptr;
    return std::unique_ptr<ResourceStream>(
        new (std::nothrow) ResourceStream(bytes.data, static_cast<uint32_t>(bytes.size)));
}

bool ResourceStream::Seek(int64_t offset, Origin origin)
{
    int64_t base = 0;
    switch (origin) {
    case Origin::Begin:
        base = 0;
        break;
    case Origin::Current:
        base = position_;
        break;
    case Origin::End:
        base = size_;
        break;
    }
    // base is at most 2^31, so only an offset near the int64 limits can overflow.
    if (offset > std::numeric_limits<int64_t>::max() - base || offset < -base)
        return false;
    const int64_t target = base + offset;
    if (target > static_cast<int64_t>(size_))
        return false;
    position_ = static_cast<int32_t>(target);
    return true;
}

std::size_t ResourceStream::Read(void* buffer, std::size_t itemSize, std::size_t itemCount)
{
    if (buffer == nullptr || itemSize == 0 || itemCount == 0)
        return 0;
    const std::size_t remaining = size_ - static_cast<uint32_t>(position_);
    std::size_t items = remaining / itemSize;
    if (items > itemCount)
        items = itemCount;
    const std::size_t bytes = items * itemSize; // <= remaining, no overflow
    if (bytes != 0)
        std::memcpy(buffer, data_ + position_, bytes);
    position_ += static_cast<int32_t>(bytes);
    return items;
}

} // namespace velmora
