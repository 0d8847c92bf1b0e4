#pragma once
// File tests the portable code needs without reaching the system itself.

#include <string>

namespace velmora::platform {

// True when `path` names a regular file that this process can open for
// reading. Opened and closed again at once; never blocks on a FIFO.
bool CanOpenForReading(const std::string& path);

} // namespace velmora::platform
