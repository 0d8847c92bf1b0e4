#pragma once
// The full-screen, top-most window of a screensaver run. It owns the GL
// context, applies the stored display mode for the run, draws a frame of the
// scene on every tick of the frame timer (64 a second, as the system tick
// paces a Windows timer of interval 0), warns once when the machine is too
// slow, and closes on the user's input. It deletes itself once its window
// is gone and then emits Finished().

#include <QMessageBox>
#include <QRect>
#include <QSurfaceFormat>
#include <QWindow>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/CloseRules.h"
#include "app/qt/FrameTimer.h"
#include "app/WindowScene.h"
#include "platform/DisplayModes.h"
#include "scene/SceneNotifier.h"
#include "settings/SaverSettings.h"

class QOpenGLContext;

namespace velmora {

class CGLWindow final : public QWindow, private SceneNotifier {
    Q_OBJECT
public:
    // The services the window calls on. The desktop set talks to the X server
    // and the user; tests replace single entries.
    using SceneFactory = std::function<std::unique_ptr<WindowScene>(SceneNotifier&)>;
    struct Services {
        SceneFactory makeScene;
        std::unique_ptr<platform::DisplayModeSwitcher> displays;
        std::function<void(QMessageBox::Icon, const QString&)> showMessage;
        std::function<void(bool)> setScreenSaverRunning;
        std::function<int64_t()> tickCountMs;
        // Size the system reports for a full-screen client area; used as the
        // stored mode when a display change is refused.
        std::function<QSize()> fullScreenClientSize;
        // Optional: told after every swapped frame with the count so far and
        // the client size; returning true closes the window (a benchmark
        // ends the run that way).
        std::function<bool(uint32_t framesDrawn, PixelSize client)> frameDrawn;
        // The clock the frames are paced by; empty: a frame on every pass
        // of the event loop (benchmarks).
        FramePacer::Clock frameClock;
    };
    // The X server, message boxes and the steady clock (paced unless a
    // benchmark runs), with `makeScene` (MakeSpaceScene for the tour).
    static Services DesktopServices(SceneFactory makeScene);

    // The context request: compatibility profile so the scene's fixed-function
    // calls work, double buffered, depth and stencil for the ring pass.
    static QSurfaceFormat RequestedFormat();
    // Least the scene can work with: it writes and tests the stencil value 2.
    static constexpr int kMinDepthBits = 16;
    static constexpr int kMinStencilBits = 2;

    // The window's life, one phase at a time.
    enum class Phase {
        Idle, // constructed, or creation failed
        Creating, // Create is running (it runs nested event loops)
        Running, // drawing on every timer pass
        Warning, // the slow-machine warning box is up; no frames, no closing
        Closing, // torn down or being torn down; nothing runs any more
    };

    enum class CreateResult {
        Created, // running; the object deletes itself after closing
        WindowFailed, // no window could be made; nothing was shown
        ContextFailed, // a context step failed and its message was shown
    };

    explicit CGLWindow(Services services);
    ~CGLWindow() override;

    // Creates the window over `rect` and runs every start-up step. On any
    // result other than Created the caller still owns and deletes the object.
    CreateResult Create(const QRect& rect);

    const SaverSettings& Settings() const { return settings_; }
    uint32_t FramesDrawn() const { return framesDrawn_; }
    bool IsBusy() const { return phase_ == Phase::Warning; }
    Phase CurrentPhase() const { return phase_; }
    bool DisplayModeChanged() const { return displayModeChanged_; }
    QOpenGLContext* Context() const { return context_.get(); }
    // Asks for the close that input would cause (the window's own close path).
    void RequestClose();

Q_SIGNALS:
    // After teardown, just before the object deletes itself.
    void Finished();

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // SceneNotifier: the scene's start-up failures.
    void ShowError(std::string_view message) override;
    void ShowPlainMessage(std::string_view message) override;
    void RequestQuit() override;

    bool CreateContext();
    void ApplyDisplayMode();
    void OnTimer();
    void OnCloseRequest();
    void Teardown();
    void EraseBackground();
    void UpdateCursor();
    bool ClosingDisabled() const { return settings_.DemoMode != 0 || phase_ == Phase::Warning; }
    bool Drawing() const { return phase_ == Phase::Running || phase_ == Phase::Warning; }
    // Makes the context current unless it is; false when it cannot be.
    bool MakeCurrent();
    void FailCreation(const char* message);
    QSize ClientPixels() const;

    Services services_;
    SaverSettings settings_;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<WindowScene> scene_;
    FrameTimer frameTimer_;

    uint32_t framesDrawn_ = 0;
    SlowMachineWatch slowWatch_;
    MouseMoveWatch moveWatch_;
    Phase phase_ = Phase::Idle;
    // A close asked for while creating or warning, carried out after.
    bool closePending_ = false;
    // A queued close call is on its way; one is enough.
    bool closeQueued_ = false;
    bool displayModeChanged_ = false;
};

} // namespace velmora
