#include "platform/ProgramResources.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

namespace velmora::platform {

LinkedResource FindLinkedResource(const char* type, int id)
{
    if (type == nullptr || id <= 0 || id > 0xffff)
        return {};
    // The resource compiler stores type names upper-cased; the lookup
    // compares them without letter case.
    const std::wstring typeName = win32::Widen(type);
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), typeName.c_str());
    if (!found)
        return {};
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = size > 0 ? ::LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return {static_cast<const unsigned char*>(bytes), size};
}

} // namespace velmora::platform
