#pragma once
// The host preview on Windows: a child window titled "Preview" over the whole
// client area of the screensaver host's window, showing the product picture
// (bitmap 145), halftone-scaled when the sizes differ. It follows the host
// window's size and ends the run when that window goes away.

#include "platform/win32/WinHandles.h"

#include "app/DibPicture.h"

namespace velmora::win32 {

// Draws the `source` part of the picture into `destination`: copied when the
// sizes are equal, halftone-stretched when they differ. False when the
// drawing call fails.
bool DrawDibPicture(HDC dc, const DibPicture& picture, const RECT& destination, const RECT& source);

class PreviewWindow {
public:
    // Interval of the check on the host's window (size and life): the host
    // is another program, whose window messages never reach this one.
    static constexpr UINT kWatchIntervalMs = 200;

    PreviewWindow() = default;
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Fails when `parent` is no window, or when the picture cannot be loaded
    // (after the picture's own message). On success the object deletes
    // itself when its window is destroyed and posts the quit message.
    bool Create(HWND parent);

    HWND Window() const { return window_; }
    const DibPicture& Picture() const { return picture_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool LoadPicture();
    void FollowParent();

    DibPicture picture_;
    HWND parent_ = nullptr;
    HWND window_ = nullptr;
    bool owned_ = false; // the object belongs to its window
};

} // namespace velmora::win32
