#include "platform/GlProcAddress.h"

#include "platform/win32/WinHandles.h"

namespace velmora::platform {

void* GlProcAddress(const char* name)
{
    if (name == nullptr || ::wglGetCurrentContext() == nullptr)
        return nullptr;
    const PROC proc = ::wglGetProcAddress(name);
    // Some drivers answer with small numbers instead of null for "none".
    const auto value = reinterpret_cast<intptr_t>(proc);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1)
        return nullptr;
    return reinterpret_cast<void*>(proc);
}

} // namespace velmora::platform
