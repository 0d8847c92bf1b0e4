#pragma once
// The program speaks UTF-8 everywhere; the Win32 calls it makes take UTF-16.
// These convert at that edge. Invalid input converts with replacement
// characters rather than failing, as the system's own conversion does.

#include <string>
#include <string_view>

namespace velmora::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

} // namespace velmora::win32
