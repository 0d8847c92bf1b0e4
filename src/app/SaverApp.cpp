#include "app/SaverApp.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

namespace velmora {

SaverApp::SaverApp(SaverShell shell, platform::InstanceGuard guard, std::string programName)
    : shell_(std::move(shell))
    , guard_(std::move(guard))
    , programName_(std::move(programName))
{
}

bool SaverApp::InitInstance(const std::vector<std::string>& arguments)
{
    startExitCode_ = 0;
    request_ = DispatchCommandLine(arguments);
    switch (request_.mode) {
    case RunMode::Configuration:
    case RunMode::Screensaver:
    case RunMode::HostPreview:
    case RunMode::Embedded:
        RegisterFirstRun();
        break;
    case RunMode::Password:
    case RunMode::None:
        break;
    }
    switch (request_.mode) {
    case RunMode::Configuration:
        // Modal: the run ends when the dialog closes.
        if (shell_.runConfigurationDialog)
            shell_.runConfigurationDialog();
        return false;
    case RunMode::Screensaver:
        return StartScreensaver();
    case RunMode::HostPreview:
        // Window ids are positive; a missing, zero or negative one is no window.
        if (request_.window <= 0 || !shell_.createPreviewWindow)
            return false;
        return shell_.createPreviewWindow(request_.window);
    case RunMode::Embedded:
        if (request_.window <= 0 || !shell_.createEmbeddedPage)
            return false;
        return shell_.createEmbeddedPage(request_.window);
    case RunMode::Password:
        return false;
    case RunMode::None:
        return StartOtherCommand(arguments);
    }
    return false;
}

bool SaverApp::StartOtherCommand(const std::vector<std::string>& arguments)
{
    const char* hostWindow = std::getenv(kHostWindowVariable.data());
    const CommandRequest command = ParseCommandOptions(arguments, hostWindow);
    switch (command.action) {
    case CommandAction::Nothing:
        return false;
    case CommandAction::Help:
        WriteConsole(UsageText(programName_), false);
        return false;
    case CommandAction::Version:
        WriteConsole(VersionText(programName_), false);
        return false;
    case CommandAction::Error:
        WriteConsole(programName_ + ": " + command.error + "\nTry \"" + programName_ + " --help\".\n", true);
        startExitCode_ = 1;
        return false;
    case CommandAction::DisplayHack:
        RegisterFirstRun();
        // No guard: the host runs one hack at a time and ends it itself.
        if (shell_.createDisplayHack && shell_.createDisplayHack(command.hack))
            return true;
        if (!shell_.createDisplayHack)
            WriteConsole(programName_ + ": this build cannot draw into a host's window\n", true);
        startExitCode_ = 1;
        return false;
    }
    return false;
}

bool SaverApp::StartScreensaver()
{
    // Checking and adding in one locked step keeps two starts at the same
    // moment from both passing the check. A guard that cannot be written
    // (no writable folder) must not keep the screensaver from running.
    if (!guard_.TryAdd() && guard_.Exists())
        return false; // another full-screen instance runs
    if (!shell_.createFullScreenWindow || !shell_.primaryScreen)
        return false; // this build has no full-screen window
    try {
        const ScreenRect screen = shell_.primaryScreen();
        const ScreenRect rect {0, 0, screen.width, screen.height};
        if (!shell_.createFullScreenWindow(rect)) {
            ShowMessage(kCreateFailedMessage);
            return false;
        }
    } catch (const std::bad_alloc&) {
        ShowMessage(kAllocFailedMessage);
        return false;
    }
    return true;
}

int SaverApp::ExitInstance(int exitCode)
{
    guard_.Delete();
    return exitCode;
}

int SaverApp::Run(const std::vector<std::string>& arguments)
{
    int exitCode = 0;
    try {
        if (InitInstance(arguments) && shell_.runMessageLoop)
            exitCode = shell_.runMessageLoop();
        else
            exitCode = startExitCode_;
    } catch (...) {
        ExitInstance(1); // the guard must not outlive a failed run
        throw;
    }
    return ExitInstance(exitCode);
}

void SaverApp::RegisterFirstRun() const
{
    if (shell_.registerFirstRun)
        shell_.registerFirstRun();
}

void SaverApp::ShowMessage(std::string_view text) const
{
    if (shell_.showMessage) {
        shell_.showMessage(text);
        return;
    }
    std::fprintf(stderr, "%s: %.*s\n", programName_.c_str(), static_cast<int>(text.size()), text.data());
}

void SaverApp::WriteConsole(std::string_view text, bool error) const
{
    if (shell_.writeConsole) {
        shell_.writeConsole(text, error);
        return;
    }
    std::FILE* stream = error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

std::string ProgramBaseName(std::string_view path)
{
#if defined(_WIN32)
    const std::size_t slash = path.find_last_of("\\/");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    if (slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    return std::string(path);
}

} // namespace velmora
