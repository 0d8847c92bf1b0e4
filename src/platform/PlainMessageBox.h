#pragma once
// A small modal message box for programs that must not pull in a toolkit
// (randomstart): a caption, the text, one OK button.

#include <string_view>

namespace velmora::platform {

// Shows the box and returns when the user closed it. False, with nothing
// shown, when no display can be reached.
bool ShowPlainMessageBox(std::string_view caption, std::string_view text);

} // namespace velmora::platform
