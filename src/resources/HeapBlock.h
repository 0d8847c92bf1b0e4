#pragma once

#include <cstdlib>
#include <memory>

namespace velmora {

// Releases a block that came from the C allocator (malloc/calloc/realloc).
struct FreeDeleter {
    void operator()(void* block) const noexcept { std::free(block); }
};

// A heap block handed from the archive or a decoder to its caller. It is
// allocated with malloc, so a caller that takes it over with release() must
// free() it.
using HeapBlock = std::unique_ptr<unsigned char, FreeDeleter>;

} // namespace velmora
