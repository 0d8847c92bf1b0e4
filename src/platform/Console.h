#pragma once
// Whether a standard stream is shown to a person: command-line output draws
// a progress bar in place on a terminal and plain lines otherwise.

#include <cstdio>

namespace velmora::platform {

bool IsTerminal(std::FILE* stream);

} // namespace velmora::platform
