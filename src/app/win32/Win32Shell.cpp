#include "app/win32/Win32Shell.h"

#include <memory>

#include "app/win32/ConfigurationDialog.h"
#include "app/win32/PreviewWindow.h"
#include "app/win32/ProgramMessage.h"
#include "install/Registration.h"
#include "platform/Process.h"
#include "platform/win32/ParentConsole.h"
#include "platform/win32/WideText.h"
#include "ui/win32/SettingsPage.h"

namespace velmora::win32 {

namespace {

HWND AsWindow(int64_t handle)
{
    return reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
}

// The settings page embedded in another member's window, for the rest of
// the run; the message loop hands it its dialog keys (Tab, arrows, space).
std::unique_ptr<ui::win32::SettingsPage> embeddedPage;
HWND embeddedHost = nullptr;
constexpr UINT kHostWatchMs = 250;

// The host is another program: should its window go without taking the page
// along (it does on Windows), the page goes, which stores its settings.
void CALLBACK WatchEmbeddingHost(HWND, UINT, UINT_PTR, DWORD)
{
    if (embeddedPage && embeddedPage->Window() && !::IsWindow(embeddedHost))
        ::DestroyWindow(embeddedPage->Window());
}

// The setup registers the copy it installs for the user who ran it; a
// machine-wide copy's other users, and a copy started from where it was
// unpacked, register on their first run as that setup would have. A working
// registration, the setup's included, is left as it is.
void RegisterFirstRun()
{
    const std::string program = platform::RunningProgramPath();
    if (program.empty())
        return;
    // Windows may start a screensaver by its short name; the entry keeps the
    // name the user sees.
    const std::wstring started = Widen(program);
    std::wstring full(32768, L'\0');
    const DWORD n = ::GetLongPathNameW(started.c_str(), full.data(), static_cast<DWORD>(full.size()));
    full.resize(n > 0 && n < full.size() ? n : 0);
    // A failure leaves the dialog to report the broken installation.
    install::EnsureRegistered(full.empty() ? program : Narrow(full));
}

} // namespace

SaverShell MakeWin32Shell(CGLWindow::SceneFactory makeScene)
{
    SaverShell shell;
    shell.primaryScreen = [] {
        return ScreenRect {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    };
    shell.createFullScreenWindow = [makeScene](const ScreenRect& rect) {
        if (rect.width <= 0 || rect.height <= 0)
            return false;
        auto window = std::make_unique<CGLWindow>(CGLWindow::DesktopServices(makeScene));
        const RECT r {rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
        switch (window->Create(r)) {
        case CGLWindow::CreateResult::Created:
            // The object deletes itself once its window is gone; the run
            // ends there.
            window.release();
            return true;
        case CGLWindow::CreateResult::ContextFailed:
            // Its own message is out and the quit message posted.
            return true;
        case CGLWindow::CreateResult::WindowFailed:
            break;
        }
        return false;
    };
    shell.createPreviewWindow = [](int64_t parent) {
        // A dead or made-up handle ends the run silently, before any window.
        HWND host = AsWindow(parent);
        if (!::IsWindow(host))
            return false;
        auto preview = std::make_unique<PreviewWindow>();
        if (!preview->Create(host))
            return false;
        preview.release(); // it goes with its window
        return true;
    };
    shell.runConfigurationDialog = &RunConfigurationDialog;
    shell.createEmbeddedPage = [](int64_t parent) {
        HWND host = AsWindow(parent);
        RECT client {};
        if (!::IsWindow(host) || !::GetClientRect(host, &client))
            return false;
        auto page = std::make_unique<ui::win32::SettingsPage>(ui::win32::SettingsPage::SystemServices());
        if (!page->Create(host, client))
            return false;
        // The page is the run's main window: the run ends with it.
        page->OnGone([] { ::PostQuitMessage(0); });
        ::ShowWindow(page->Window(), SW_SHOWNA);
        embeddedHost = host;
        embeddedPage = std::move(page);
        ::SetTimer(nullptr, 0, kHostWatchMs, &WatchEmbeddingHost);
        return true;
    };
    shell.runMessageLoop = [] {
        MSG message;
        BOOL got;
        while ((got = ::GetMessageW(&message, nullptr, 0, 0)) != 0) {
            if (got == -1)
                return 1;
            if (embeddedPage && embeddedPage->Window()
                && ::IsDialogMessageW(embeddedPage->Window(), &message))
                continue;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    };
    shell.registerFirstRun = &RegisterFirstRun;
    shell.showMessage = [](std::string_view text) { ShowProgramMessage(nullptr, text, MB_ICONEXCLAMATION); };
    shell.writeConsole = [](std::string_view text, bool error) { platform::WriteToStarter(text, error); };
    return shell;
}

} // namespace velmora::win32
