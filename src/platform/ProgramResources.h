#pragma once
// Resources linked into the running program file, looked up by type and
// numeric id: on Windows the program's own resources (FindResource); on ELF
// systems the blocks the build assembles in (the archive, "rfile" 152).

#include <cstddef>

namespace velmora::platform {

struct LinkedResource {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// The bytes belong to the program image and stay valid while it runs.
// {nullptr, 0} when the program carries no such resource. Type names compare
// without ASCII letter case.
LinkedResource FindLinkedResource(const char* type, int id);

} // namespace velmora::platform
