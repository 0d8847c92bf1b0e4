// Velmora3D.scr: the screensaver program on Windows. Windows' screen saver
// settings, the settings page's Preview command, other members of the
// collection and randomstart start it with a run-mode switch.

#include "platform/win32/WinHandles.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/SaverApp.h"
#include "app/win32/ProgramMessage.h"
#include "app/win32/Win32Shell.h"
#include "app/WindowScene.h"
#include "platform/Console.h"
#include "platform/InstanceGuard.h"
#include "platform/win32/WideText.h"
#include "StringTable.h"
#include "webupdate/TextProgress.h"

namespace {

// The program arguments after the program name, as the C runtime splits them.
std::vector<std::string> CommandLineArguments()
{
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(velmora::win32::Narrow(argv[i]));
    ::LocalFree(argv);
    return arguments;
}

// A program of the GUI subsystem writes through the C runtime only where its
// starter redirected its handles (a pipe, a file); started from a console,
// it writes to that console, as console programs do.
void ConnectStandardStreams()
{
    const auto redirected = [](DWORD which) {
        const HANDLE handle = ::GetStdHandle(which);
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    };
    const bool outRedirected = redirected(STD_OUTPUT_HANDLE);
    const bool errRedirected = redirected(STD_ERROR_HANDLE);
    if ((outRedirected && errRedirected) || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!outRedirected)
        std::freopen("CONOUT$", "w", stdout);
    if (!errRedirected)
        std::freopen("CONOUT$", "w", stderr);
}

// The manifest asks for per-monitor awareness; Windows before 10 1703 reads
// only its older entry, so the newest mode is also asked for at run time
// where the call exists.
void BecomeDpiAware()
{
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    const auto set = user32 ? reinterpret_cast<SetContext>(
                         reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                            : nullptr;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set)
        set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)));
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::vector<std::string> arguments = CommandLineArguments();
    // Outside the run modes of the host's switches: refreshes the product
    // list without a window, for people and scripts.
    if (arguments == std::vector<std::string> {"--web-update"}) {
        ConnectStandardStreams();
        return velmora::webupdate::RunWebUpdateCommand(stdout, stderr, velmora::platform::IsTerminal(stderr));
    }
    BecomeDpiAware();
    INITCOMMONCONTROLSEX controls {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    velmora::SaverApp app(velmora::win32::MakeWin32Shell(&velmora::MakeSpaceScene),
        velmora::platform::InstanceGuard(velmora::strings::kGuardName),
        velmora::win32::Narrow(velmora::win32::ProgramCaption()));
    return app.Run(arguments);
}
