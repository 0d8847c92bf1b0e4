#pragma once
// The application object of Velmora3D: reads the command line once, runs the
// one window of the selected mode and clears the single-instance guard at the
// end of every run.

#include "app/CommandOptions.h"
#include "app/RunMode.h"
#include "platform/InstanceGuard.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The window side of each run mode. The application logic stays free of any
// toolkit; the windowed build fills these in. An empty function means this
// build has no window for that mode, and the mode ends without one.
struct SaverShell {
    // Runs the collection settings dialog modally; returns when it closes.
    std::function<void()> runConfigurationDialog;
    // Creates the still preview inside the host's window; false when that is
    // no window or the preview cannot be created.
    std::function<bool(int64_t parentWindow)> createPreviewWindow;
    // Creates the settings page inside another member's window.
    std::function<bool(int64_t parentWindow)> createEmbeddedPage;
    // The primary screen at this moment.
    std::function<ScreenRect()> primaryScreen;
    // Creates the full-screen window over `rect` as the main window; false
    // when creation fails. Throws std::bad_alloc when it cannot be allocated.
    std::function<bool(const ScreenRect& rect)> createFullScreenWindow;
    // Runs until the main window is destroyed; returns the exit code.
    std::function<int()> runMessageLoop;
    // The program's message box (OK, exclamation icon, program name caption).
    std::function<void(std::string_view text)> showMessage;
    // Draws the tour into a screensaver host's window until the program is
    // told to end; false when that window cannot be used (the reason is
    // already on standard error).
    std::function<bool(const DisplayHackRequest& request)> createDisplayHack;
    // Text for the terminal: standard output, or standard error when
    // `error`. Empty: the C streams.
    std::function<void(std::string_view text, bool error)> writeConsole;
    // Enters this copy of the program in the collection's settings when no
    // working registration is there (the step an installer leaves to the
    // first run); it reports its own failures. Called before the window of
    // every run mode that shows one. Empty: the installer registers.
    std::function<void()> registerFirstRun;
};

inline constexpr std::string_view kAllocFailedMessage = "Error memory allocating for CGLWindow.";
inline constexpr std::string_view kCreateFailedMessage
    = "Can't create main screen saver window.\nPlease Try to turn off \"Use DirectX mode\" option in "
      "screensaver "
      "settings dialog.";

class SaverApp {
public:
    // `programName` is the executable's base name: the caption of messages
    // when the shell has no message box of its own.
    SaverApp(SaverShell shell, platform::InstanceGuard guard, std::string programName);

    // True when a main window was created and the message loop is to run.
    bool InitInstance(const std::vector<std::string>& arguments);
    // Removes the guard if it exists (whoever added it) and returns `exitCode`.
    int ExitInstance(int exitCode);
    // InitInstance, the message loop when there is a main window, ExitInstance.
    int Run(const std::vector<std::string>& arguments);
    // The exit code of a run that InitInstance ended without a message loop.
    int StartExitCode() const { return startExitCode_; }

    const RunRequest& Request() const { return request_; }

private:
    bool StartScreensaver();
    // The "anything else" branch: --help, --version and the display hack.
    bool StartOtherCommand(const std::vector<std::string>& arguments);
    void RegisterFirstRun() const;
    void ShowMessage(std::string_view text) const;
    void WriteConsole(std::string_view text, bool error) const;

    SaverShell shell_;
    platform::InstanceGuard guard_;
    std::string programName_;
    RunRequest request_;
    int startExitCode_ = 0;
};

// The base name of a program path ("/usr/bin/Velmora3D" -> "Velmora3D").
std::string ProgramBaseName(std::string_view path);

} // namespace velmora
