#pragma once

#include <cstddef>

namespace velmora {

// The program's own resources, looked up by type and numeric id. The ZIP
// archive with all art and data is type "rfile", id 152; programs get it by
// linking the velmora_archive_blob library (ELF), or from their resource
// script (Windows).
inline constexpr char kArchiveResourceType[] = "rfile";
inline constexpr int kArchiveResourceId = 152;

struct ResourceBytes {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// Finds a resource; the type compares without ASCII letter case. Registered
// blocks are searched before the linked-in archive. Returns {nullptr, 0}
// when there is no such resource. The bytes belong to the module.
ResourceBytes FindProgramResource(const char* type, int id);

// Makes a caller-owned block available as a resource (tests, tools). The block
// must stay alive and unchanged until it is unregistered. Registering the same
// type and id again replaces the earlier block.
void RegisterProgramResource(const char* type, int id, const void* data, std::size_t size);

// Returns false when nothing was registered under that type and id.
bool UnregisterProgramResource(const char* type, int id);

// Registers a block for the lifetime of the object.
class ScopedProgramResource {
public:
    ScopedProgramResource(const char* type, int id, const void* data, std::size_t size);
    ~ScopedProgramResource();
    ScopedProgramResource(const ScopedProgramResource&) = delete;
    ScopedProgramResource& operator=(const ScopedProgramResource&) = delete;

private:
    char type_[32];
    int id_;
};

} // namespace velmora
