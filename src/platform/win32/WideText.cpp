#include "platform/win32/WideText.h"

#include "platform/win32/WinHandles.h"

#include <climits>

namespace velmora::win32 {

std::wstring Widen(std::string_view utf8)
{
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    const int size = static_cast<int>(utf8.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    if (needed <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), needed);
    return out;
}

std::string Narrow(std::wstring_view utf16)
{
    if (utf16.empty() || utf16.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    const int size = static_cast<int>(utf16.size());
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string out(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), needed, nullptr, nullptr);
    return out;
}

} // namespace velmora::win32
