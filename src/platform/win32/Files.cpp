#include "platform/Files.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

namespace velmora::platform {

bool CanOpenForReading(const std::string& path)
{
    if (path.empty())
        return false;
    const win32::UniqueKernelHandle file = win32::FileHandle(::CreateFileW(win32::Widen(path).c_str(),
        GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr));
    // Folders do not open without backup semantics; pipes and devices are
    // no program files either.
    return file && ::GetFileType(file.Get()) == FILE_TYPE_DISK;
}

} // namespace velmora::platform
