#pragma once
// The Win32 side of the run modes: the full-screen window, the host preview,
// the message loop and the program's message boxes.

#include "app/SaverApp.h"
#include "app/win32/CGLWindow.h"

namespace velmora::win32 {

SaverShell MakeWin32Shell(CGLWindow::SceneFactory makeScene);

} // namespace velmora::win32
