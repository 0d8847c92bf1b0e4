#include "platform/Clock.h"

#include <chrono>

namespace velmora::platform {

uint64_t TickCountMs()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace velmora::platform
