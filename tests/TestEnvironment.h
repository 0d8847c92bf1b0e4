#pragma once
// Setting and clearing environment variables in tests, on POSIX systems and
// on Windows (whose C runtime has no setenv).

#include <cstdlib>
#include <string>

namespace velmora::testing {

inline void SetEnvironment(const char* name, const std::string& value)
{
#if defined(_WIN32)
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const char* name)
{
#if defined(_WIN32)
    // An empty value removes the variable there.
    ::_putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

} // namespace velmora::testing
