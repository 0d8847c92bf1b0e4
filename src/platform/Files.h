#pragma once
// File tests the portable code needs without reaching the system itself.

#include <string>

namespace velmora::platform {

// The separator of the paths the program builds below a stored folder
// ("InstallPath" ends with it).
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True when `c` ends a folder's name in a path of this system.
constexpr bool IsPathSeparator(char c)
{
#if defined(_WIN32)
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// True when `path` names a regular file that this process can open for
// reading. Opened and closed again at once; never blocks on a FIFO.
bool CanOpenForReading(const std::string& path);

} // namespace velmora::platform
