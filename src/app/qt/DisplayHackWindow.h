#pragma once
// The tour drawn inside a window that a screensaver host owns: XScreenSaver's
// saver window (or any host that follows its conventions), a window named on
// the command line, or the screen's root window. The window is a child of the
// host's window at its full size and follows its size. It takes no input (the
// host decides when the run ends), changes no display mode, shows no message
// box and keeps no guard: it draws, 64 frames a second like the full-screen
// window, until Stop(), which the program calls when the host sends SIGTERM,
// or until the host's window goes away.

#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <QWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "app/CommandOptions.h"
#include "app/qt/FrameTimer.h"
#include "app/WindowScene.h"
#include "platform/AppDisplay.h"
#include "scene/SceneNotifier.h"
#include "settings/SaverSettings.h"

class QOpenGLContext;

namespace velmora {

class DisplayHackWindow final : public QWindow, private SceneNotifier, private QAbstractNativeEventFilter {
    Q_OBJECT
public:
    using SceneFactory = std::function<std::unique_ptr<WindowScene>(SceneNotifier&)>;
    // Where failures are told: one line without the program name.
    using ErrorSink = std::function<void(std::string_view message)>;

    // Frames are paced by `frameClock` (empty: unpaced, for benchmarks).
    DisplayHackWindow(SceneFactory makeScene, const DisplayHackRequest& request, ErrorSink reportError,
        FramePacer::Clock frameClock = DesktopFrameClock());
    ~DisplayHackWindow() override;

    // Finds the host's window, places this window inside it at its size and
    // starts the scene. False (with the reason reported) when the host's
    // window does not exist or GL or the scene cannot be set up.
    bool Create();
    // Ends the run: stops drawing, frees the scene and the context, destroys
    // the window and emits Finished(exitCode). Later calls do nothing.
    void Stop(int exitCode);

    const SaverSettings& Settings() const { return settings_; }
    uint32_t FramesDrawn() const { return framesDrawn_; }
    // The host's window (the root window for -root).
    uint64_t HostWindow() const { return hostId_; }

Q_SIGNALS:
    void Finished(int exitCode);

protected:
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // SceneNotifier: the scene's start-up failures.
    void ShowError(std::string_view message) override;
    void RequestQuit() override;
    // QAbstractNativeEventFilter: the host window's size changes and end.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    bool CreateContext();
    void FollowHostSize(platform::HostWindowSize size);
    // Asks the server how the host's window is now: follows its size, or
    // ends the run when it is gone.
    void CheckHostWindow();
    void OnTimer();
    void Teardown();
    bool MakeCurrent();
    QSize ClientPixels() const;

    SceneFactory makeScene_;
    DisplayHackRequest request_;
    ErrorSink reportError_;
    SaverSettings settings_;
    std::unique_ptr<QWindow> host_; // the foreign window object; none for the root
    std::unique_ptr<platform::AppDisplay> display_;
    uint64_t hostId_ = 0;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<WindowScene> scene_;
    FrameTimer frameTimer_;
    QTimer hostCheckTimer_;
    uint32_t framesDrawn_ = 0;
    bool running_ = false;
    bool stopped_ = false;
    bool quitDuringCreate_ = false;
    bool creating_ = false;
    bool checkQueued_ = false;
};

} // namespace velmora
