#pragma once
// Text for whoever started the program. A GUI program has no console of its
// own: its standard handles are what the starter redirected them to (a pipe,
// a file), or else it writes to the console of the program that started it.

#include <string_view>

namespace velmora::platform {

// False when there is nowhere to write to (started from the desktop).
bool WriteToStarter(std::string_view text, bool error);

} // namespace velmora::platform
