#include "platform/win32/ParentConsole.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

namespace velmora::platform {

namespace {

HANDLE StarterHandle(bool error)
{
    HANDLE handle = ::GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        return handle;
    // Attached once; the handle stays open for the rest of the run.
    static HANDLE console = [] {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS))
            return INVALID_HANDLE_VALUE;
        return ::CreateFileW(
            L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }();
    return console;
}

} // namespace

bool WriteToStarter(std::string_view text, bool error)
{
    HANDLE handle = StarterHandle(error);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    if (::GetFileType(handle) == FILE_TYPE_CHAR) {
        // A console shows UTF-16 right whatever its code page.
        const std::wstring wide = win32::Widen(text);
        DWORD written = 0;
        if (::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
            return true;
    }
    DWORD written = 0;
    return ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0;
}

} // namespace velmora::platform
