#include "platform/Console.h"

#include <unistd.h>

namespace velmora::platform {

bool IsTerminal(std::FILE* stream)
{
    return stream && ::isatty(::fileno(stream)) == 1;
}

} // namespace velmora::platform
