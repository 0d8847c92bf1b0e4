#include "platform/Clock.h"

#include "platform/win32/WinHandles.h"

namespace velmora::platform {

uint64_t TickCountMs()
{
    // The 64-bit count: the 32-bit one wraps after 49.7 days of uptime.
    return ::GetTickCount64();
}

} // namespace velmora::platform
