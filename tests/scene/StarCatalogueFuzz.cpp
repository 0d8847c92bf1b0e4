// Fuzz harness for the star catalogue parser: any bytes must parse without
// reading outside them, and every record must be usable by the star pass.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "scene/StarField.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using velmora::StarCatalogue;
    using velmora::StarRecord;
    int32_t count = -1;
    bool allocFailed = false;
    const auto block = StarCatalogue::Parse(
        reinterpret_cast<const char*>(data), static_cast<long>(size), count, allocFailed);
    if (!block) {
        if (count != 0)
            std::abort();
        return 0;
    }
    if (count <= 0 || allocFailed)
        std::abort();
    const auto* records = reinterpret_cast<const StarRecord*>(block.get());
    for (int32_t i = 0; i < count; ++i) {
        const StarRecord& r = records[i];
        // The star pass turns these into positions and point sizes.
        if (!std::isfinite(r.magnitude) || !std::isfinite(r.rightAscension) || !std::isfinite(r.declination))
            std::abort();
        if (r.spectralIndex < 0 || r.spectralIndex > 6)
            std::abort();
        (void)velmora::AppearanceOf(r);
    }
    return 0;
}
