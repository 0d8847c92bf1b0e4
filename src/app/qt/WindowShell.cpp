#include "app/qt/WindowShell.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>

#include "app/qt/ConfigurationDialog.h"
#include "app/qt/DisplayHackWindow.h"
#include "app/qt/EmbeddedPage.h"
#include "app/qt/MessageBox.h"
#include "app/qt/PreviewWindow.h"
#include "platform/ForeignWindow.h"
#include "platform/TerminationSignals.h"

namespace velmora {

namespace {

QApplication* keptApplication = nullptr;

// State shared by the shell's functions for one run of the program.
struct ShellState {
    int* argc = nullptr;
    char** argv = nullptr;
    std::unique_ptr<QApplication> application;

    ~ShellState()
    {
        // Qt's teardown unloads the plugins it opened, and with them the code
        // that could explain memory the system libraries keep to the end; the
        // process is ending anyway, so the application object stays.
        keptApplication = application.release();
    }
    bool noDisplay = false;
    CGLWindow::SceneFactory makeScene;
    // The embedded page lives until the process ends.
    std::unique_ptr<EmbeddedPage> embeddedPage;
};

QApplication* Application(ShellState& state)
{
    if (!state.application && !state.noDisplay) {
        // Without an X server the xcb platform would abort the process.
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            state.noDisplay = true;
            return nullptr;
        }
        state.application = std::make_unique<QApplication>(*state.argc, state.argv);
        // The run ends with the main window, not with whichever box closes last.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    return state.application.get();
}

} // namespace

SaverShell MakeWindowShell(int& argc, char** argv, CGLWindow::SceneFactory makeScene)
{
    auto state = std::make_shared<ShellState>();
    state->argc = &argc;
    state->argv = argv;
    state->makeScene = std::move(makeScene);

    SaverShell shell;
    shell.runConfigurationDialog = [state]() {
        if (!Application(*state)) {
            std::fprintf(stderr, "%s: the settings dialog needs an X display (DISPLAY is not set).\n",
                ProgramBaseName(state->argv[0] ? state->argv[0] : "").c_str());
            return;
        }
        RunConfigurationDialog();
    };
    shell.primaryScreen = [state]() -> ScreenRect {
        if (!Application(*state))
            return {};
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen)
            return {};
        const QRect r = screen->geometry();
        return {r.x(), r.y(), r.width(), r.height()};
    };
    shell.createFullScreenWindow = [state](const ScreenRect& rect) {
        if (!Application(*state) || rect.width <= 0 || rect.height <= 0)
            return false;
        auto window = std::make_unique<CGLWindow>(CGLWindow::DesktopServices(state->makeScene));
        switch (window->Create(QRect(rect.x, rect.y, rect.width, rect.height))) {
        case CGLWindow::CreateResult::Created: {
            // The object deletes itself once its window is gone; that is
            // where the run ends.
            CGLWindow* running = window.release();
            QObject::connect(
                running, &CGLWindow::Finished, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            return true;
        }
        case CGLWindow::CreateResult::ContextFailed:
            // Its own message is out; the quit request ends the loop at once.
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
            return true;
        case CGLWindow::CreateResult::WindowFailed:
            break;
        }
        return false;
    };
    shell.createPreviewWindow = [state](int64_t parent) {
        // A dead or made-up id ends the run silently, before any window is made.
        const auto window = static_cast<unsigned long>(parent);
        if (!platform::IsLiveWindow(window) || !Application(*state))
            return false;
        auto preview = std::make_unique<PreviewWindow>();
        if (!preview->Create(window))
            return false;
        // The window goes with the host's; its object follows, then the run ends.
        PreviewWindow* running = preview.release();
        QObject::connect(
            running, &PreviewWindow::Finished, qApp,
            [running] {
                delete running;
                // exit(), not quit(): quit() first asks every window to
                // close, and the foreign host's wrapper never agrees.
                QCoreApplication::exit(0);
            },
            Qt::QueuedConnection);
        return true;
    };
    shell.createDisplayHack = [state](const DisplayHackRequest& request) {
        const std::string program = ProgramBaseName(state->argv[0] ? state->argv[0] : "");
        auto reportError = [program](std::string_view message) {
            std::fprintf(
                stderr, "%s: %.*s\n", program.c_str(), static_cast<int>(message.size()), message.data());
        };
        if (!Application(*state)) {
            reportError("drawing into a host's window needs an X display ($DISPLAY is not set)");
            return false;
        }
        // Installed before the slow start-up, so that a host that gives up
        // early still ends the run through the event loop.
        const int signalFd = platform::TerminationSignals::Install();
        if (signalFd < 0) {
            reportError("cannot watch for the end signal");
            return false;
        }
        auto window = std::make_unique<DisplayHackWindow>(state->makeScene, request, reportError);
        if (!window->Create())
            return false;
        DisplayHackWindow* running = window.release();
        auto* notifier = new QSocketNotifier(signalFd, QSocketNotifier::Read, running);
        QObject::connect(notifier, &QSocketNotifier::activated, running, [running] {
            platform::TerminationSignals::Drain();
            running->Stop(0);
        });
        QObject::connect(
            running, &DisplayHackWindow::Finished, qApp,
            [running](int exitCode) {
                running->deleteLater();
                QCoreApplication::exit(exitCode);
            },
            Qt::QueuedConnection);
        return true;
    };
    shell.createEmbeddedPage = [state](int64_t parent) {
        const auto window = static_cast<unsigned long>(parent);
        if (!platform::IsLiveWindow(window) || !Application(*state))
            return false;
        auto page = std::make_unique<EmbeddedPage>();
        if (!page->Create(window))
            return false;
        QObject::connect(
            page.get(), &EmbeddedPage::Finished, qApp, [] { QCoreApplication::exit(0); },
            Qt::QueuedConnection);
        state->embeddedPage = std::move(page);
        return true;
    };
    shell.runMessageLoop = [state]() {
        if (!Application(*state))
            return 0;
        const int code = QApplication::exec();
        // The window deleted itself just before the quit; let that happen.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return code;
    };
    shell.showMessage = [state](std::string_view text) {
        const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        if (Application(*state))
            ShowMessageBox(QMessageBox::Warning, message);
        else
            std::fprintf(stderr, "%s: %s\n", ProgramBaseName(state->argv[0] ? state->argv[0] : "").c_str(),
                message.toLocal8Bit().constData());
    };
    return shell;
}

} // namespace velmora
