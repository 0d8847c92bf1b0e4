#pragma once
// The full-screen, top-most window of a screensaver run on Windows. It owns
// the device and rendering contexts, applies the stored display mode for the
// run, draws a frame of the scene on every tick of a zero-interval timer,
// warns once when the machine is too slow, and closes on the user's input.
// Other monitors are covered with black windows for the run, so nothing on
// them stays readable. The object deletes itself once its window is gone and
// then posts the quit message: it is the program's main window.

#include "platform/win32/WinHandles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "app/CloseRules.h"
#include "app/PixelGeometry.h"
#include "app/WindowScene.h"
#include "platform/DisplayModes.h"
#include "scene/SceneNotifier.h"
#include "settings/SaverSettings.h"

namespace velmora::win32 {

class CGLWindow final : private SceneNotifier {
public:
    using SceneFactory = std::function<std::unique_ptr<WindowScene>(SceneNotifier&)>;
    // The services the window calls on; tests replace single entries.
    struct Services {
        SceneFactory makeScene;
        std::unique_ptr<platform::DisplayModeSwitcher> displays;
        // A modal box owned by the window: the text and MB_ICON* flags.
        std::function<void(HWND owner, std::string_view text, UINT icon)> showMessage;
        std::function<void(bool)> setScreenSaverRunning;
        std::function<int64_t()> tickCountMs;
        // The system's full-screen client size: the stored mode when a
        // display change is refused.
        std::function<PixelSize()> fullScreenClientSize;
        // Optional: told after every swapped frame; true closes the window.
        std::function<bool(uint32_t framesDrawn, PixelSize client)> frameDrawn;
    };
    // The system's display, message boxes and tick count, with `makeScene`.
    static Services DesktopServices(SceneFactory makeScene);

    // The pixel format asked for; the one chosen must have at least these
    // depth and stencil bits (the ring pass writes the stencil value 2).
    static constexpr int kMinDepthBits = 16;
    static constexpr int kMinStencilBits = 2;

    enum class CreateResult {
        Created, // running; the object deletes itself after its window is gone
        WindowFailed, // no window could be made; nothing was shown
        ContextFailed, // a context step failed, its message was shown and the
                       // quit message posted
    };

    explicit CGLWindow(Services services);
    ~CGLWindow() override;
    CGLWindow(const CGLWindow&) = delete;
    CGLWindow& operator=(const CGLWindow&) = delete;

    // Creates the window over `rect` and runs every start-up step. On any
    // result other than Created the caller still owns and deletes the object.
    CreateResult Create(const RECT& rect);

    HWND Window() const { return window_; }
    const SaverSettings& Settings() const { return settings_; }
    uint32_t FramesDrawn() const { return framesDrawn_; }
    bool DisplayModeChanged() const { return displayModeChanged_; }
    // The black windows over the other monitors.
    std::size_t CoverCount() const { return covers_.size(); }

    // The window's close request, as input posts it.
    void RequestClose();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Input that reaches a cover window counts as input to the run.
    bool OnCoverInput(HWND cover, UINT message, WPARAM wParam, LPARAM lParam);

    bool CreateContext();
    void ApplyDisplayMode();
    void CoverOtherMonitors();
    void OnTimer();
    void OnMouseMove(PixelPoint screenPosition);
    bool OnSetCursor();
    void Teardown();
    PixelSize ClientPixels() const;
    bool ClosingDisabled() const { return settings_.DemoMode != 0 || busy_; }

    // SceneNotifier: the scene's start-up failures.
    void ShowError(std::string_view message) override;
    void ShowPlainMessage(std::string_view message) override;
    void RequestQuit() override;

    Services services_;
    SaverSettings settings_;
    HWND window_ = nullptr;
    HDC dc_ = nullptr; // the class's own DC, kept for the whole run
    HGLRC context_ = nullptr;
    std::unique_ptr<WindowScene> scene_;
    std::vector<HWND> covers_;

    uint32_t framesDrawn_ = 0;
    SlowMachineWatch slowWatch_;
    MouseMoveWatch moveWatch_;
    bool creating_ = false;
    bool busy_ = false; // the slow-machine box is open
    bool closing_ = false; // torn down or being torn down
    bool destroying_ = false; // DestroyWindow has been called
    bool quitAfterCreate_ = false;
    bool displayModeChanged_ = false;
};

} // namespace velmora::win32
