#pragma once
// The program's own message boxes on Windows: OK, the given icon, and the
// executable's base name as caption.

#include "platform/win32/WinHandles.h"

#include <string>
#include <string_view>

namespace velmora::win32 {

// "Velmora3D" for ...\Velmora3D.scr.
std::wstring ProgramCaption();

void ShowProgramMessage(HWND owner, std::string_view text, UINT icon);

} // namespace velmora::win32
