#pragma once
// A small modal message box drawn with Xlib alone, for programs that must not
// pull in a toolkit (randomstart): a caption, the text, one OK button.

#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// Shows the box on $DISPLAY and returns when the user closed it (OK, Return,
// Escape, Space or the window manager's close). False, with nothing shown,
// when no display can be opened.
bool ShowX11MessageBox(std::string_view caption, std::string_view text);

// The text as the box lays it out: its own line breaks kept, longer lines
// wrapped at blanks before `maxColumns` (a word longer than that, such as an
// address, stays whole on its own line).
std::vector<std::string> WrapMessageText(std::string_view text, std::size_t maxColumns);

} // namespace velmora::platform
