#include "platform/ProgramResources.h"

#include <cstdint>
#include <strings.h>

// Defined by the velmora_archive_blob library (the archive file assembled in
// with .incbin). Weak, so that programs and tests without the blob still link
// and simply find no archive.
extern "C" {
extern const unsigned char velmora_archive_data[] __attribute__((weak));
extern const uint64_t velmora_archive_size __attribute__((weak));
}

namespace velmora::platform {

LinkedResource FindLinkedResource(const char* type, int id)
{
    // The archive is the one resource an ELF program of this build carries.
    if (type == nullptr || id != 152 || ::strcasecmp(type, "rfile") != 0)
        return {};
    if (&velmora_archive_size == nullptr || velmora_archive_data == nullptr || velmora_archive_size == 0)
        return {};
    return {velmora_archive_data, static_cast<std::size_t>(velmora_archive_size)};
}

} // namespace velmora::platform
