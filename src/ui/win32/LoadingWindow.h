#pragma once
// The small window that says "Loading screensaver..." while the scene loads:
// dialog template 150, modeless, disabled, centred, with no behaviour of its
// own. It is shown when constructed and goes with the object.

#include "platform/win32/WinHandles.h"

namespace velmora::ui::win32 {

class LoadingWindow {
public:
    explicit LoadingWindow(HINSTANCE instance);
    ~LoadingWindow();
    LoadingWindow(const LoadingWindow&) = delete;
    LoadingWindow& operator=(const LoadingWindow&) = delete;

    // Null when the template could not be made into a window (the load goes
    // on without it).
    HWND Window() const { return window_; }

private:
    HWND window_ = nullptr;
};

} // namespace velmora::ui::win32
