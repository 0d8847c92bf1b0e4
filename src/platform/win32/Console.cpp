#include "platform/Console.h"

#include <io.h>

namespace velmora::platform {

bool IsTerminal(std::FILE* stream)
{
    return stream && ::_isatty(::_fileno(stream)) != 0;
}

} // namespace velmora::platform
