#pragma once
// The millisecond tick count: a monotonic clock, unaffected by changes of
// the wall-clock time, for frame timing and random seeds.

#include <cstdint>

namespace velmora::platform {

uint64_t TickCountMs();

} // namespace velmora::platform
