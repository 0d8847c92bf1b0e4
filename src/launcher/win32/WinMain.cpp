// randomstart.exe: started by Windows' screensaver host (or a user) in a
// screensaver's place; starts a member of the Kestrova 3D collection with the
// same command line. A Windows program without a console, so that a host's
// start shows no console window.

#include "launcher/RandomStart.h"
#include "platform/PlainMessageBox.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The runtime's narrow line is in the ANSI code page; the member gets
    // the line in full Unicode.
    const std::string line = velmora::launcher::CommandLineTail(velmora::win32::Narrow(::GetCommandLineW()));
    return velmora::launcher::RunRandomStartLine(line, &velmora::platform::ShowPlainMessageBox);
}
