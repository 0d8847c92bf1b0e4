#pragma once
// The Qt side of the run modes that have windows: the full-screen screensaver
// and the tour inside a screensaver host's window. The application object itself is created only when a mode
// needs the display, so runs that show nothing work without an X server.

#include "app/qt/CGLWindow.h"
#include "app/SaverApp.h"

namespace velmora {

// `argc` and `argv` must outlive the shell (the application keeps them).
SaverShell MakeWindowShell(int& argc, char** argv, CGLWindow::SceneFactory makeScene);

} // namespace velmora
