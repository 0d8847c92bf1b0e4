#include "resources/ShapeMesh.h"

#include <bit>
#include <cstdlib>
#include <cstring>

namespace velmora {

// Triangles are copied as stored, so the file's little-endian IEEE floats
// must be the host's own layout.
static_assert(std::endian::native == std::endian::little);

ShapeMesh::~ShapeMesh() = default;

void ShapeMesh::Release()
{
    triangles.reset();
    count = 0;
}

bool ShapeMesh::Load(const void* bytes, long size)
{
    Release();
    constexpr long kCountBytes = 4;
    if (bytes == nullptr || size < kCountBytes)
        return false;
    const auto* data = static_cast<const unsigned char*>(bytes);
    const int32_t n
        = static_cast<int32_t>(static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8
            | static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
    // The count comes from the file: it may not ask for more triangles than
    // the member holds.
    if (n < 0
        || static_cast<unsigned long>(n)
            > static_cast<unsigned long>(size - kCountBytes) / sizeof(ShapeTriangle))
        return false;
    if (n == 0)
        return true;
    const std::size_t byteCount = static_cast<std::size_t>(n) * sizeof(ShapeTriangle);
    triangles.reset(static_cast<ShapeTriangle*>(std::malloc(byteCount)));
    if (!triangles)
        return false;
    std::memcpy(triangles.get(), data + kCountBytes, byteCount);
    count = n;
    return true;
}

} // namespace velmora
