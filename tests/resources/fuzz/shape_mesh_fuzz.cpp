#include <cstddef>
#include <cstdint>

#include "resources/ShapeMesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velmora::ShapeMesh mesh;
    if (size > static_cast<size_t>(INT32_MAX))
        return 0;
    if (mesh.Load(data, static_cast<long>(size)) && mesh.count > 0) {
        volatile float sum = 0;
        for (int32_t i = 0; i < mesh.count; ++i)
            sum = sum + mesh.triangles[i].vertex[2].texCoord[1];
    }
    // Loading again into the same mesh must release the first.
    mesh.Load(data, static_cast<long>(size));
    return 0;
}
