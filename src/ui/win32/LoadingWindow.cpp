#include "ui/win32/LoadingWindow.h"

#include "resource.h"

namespace velmora::ui::win32 {

namespace {

// Nothing to handle; FALSE for WM_INITDIALOG too, so no control gets the focus.
INT_PTR CALLBACK LoadingProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

} // namespace

LoadingWindow::LoadingWindow(HINSTANCE instance)
    : window_(::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_LOADING), nullptr, LoadingProc, 0))
{
    if (!window_)
        return;
    // The scene loads on this thread without pumping messages: paint now.
    ::SetWindowPos(
        window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::UpdateWindow(window_);
}

LoadingWindow::~LoadingWindow()
{
    if (window_)
        ::DestroyWindow(window_);
}

} // namespace velmora::ui::win32
