#include "webupdate/win32/UpdateProgressWindow.h"

#include <commctrl.h>

#include "resource.h"
#include "ui/win32/DialogWindow.h"

namespace velmora::webupdate::win32 {
namespace {

using ui::win32::SetText;

// Repaints of other windows handled per pump at most: a window that never
// validates its update region cannot keep the pump from returning.
constexpr int kMaxForeignPaints = 64;

} // namespace

UpdateProgressWindow::~UpdateProgressWindow()
{
    // The owner first, so that activation goes back to it.
    ReleaseOwner();
    if (window_)
        ::DestroyWindow(window_);
}

bool UpdateProgressWindow::Create(HWND owner)
{
    cancelled_ = false;
    if (!::CreateDialogParamW(ui::win32::ResourceModule(), MAKEINTRESOURCEW(IDD_UPDATE_PROGRESS), owner,
            &ui::win32::DialogProc<UpdateProgressWindow>, reinterpret_cast<LPARAM>(this)))
        return false;
    owner_ = owner;
    if (owner_ && ::IsWindowEnabled(owner_)) {
        ::EnableWindow(owner_, FALSE);
        ownerDisabled_ = true;
    }
    ::ShowWindow(window_, SW_SHOW);
    ::UpdateWindow(window_);
    return true;
}

INT_PTR UpdateProgressWindow::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ::SendDlgItemMessageW(window_, IDC_UPDATE_PROGRESS, PBM_SETRANGE32, 0, 100);
        ::SendDlgItemMessageW(window_, IDC_UPDATE_PROGRESS, PBM_SETPOS, 0, 0);
        return TRUE;
    case WM_COMMAND:
        // The button, Escape and the close box all ask for cancelling; the
        // window stays until the update finishes.
        if (LOWORD(wParam) == IDCANCEL) {
            RequestCancel();
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void UpdateProgressWindow::RequestCancel()
{
    cancelled_ = true;
    if (window_)
        ::EnableWindow(::GetDlgItem(window_, IDCANCEL), FALSE);
}

void UpdateProgressWindow::SetStatus(std::string_view text)
{
    if (window_)
        SetText(::GetDlgItem(window_, IDC_UPDATE_STATUS), text);
}

void UpdateProgressWindow::SetPercent(int value)
{
    if (!window_)
        return;
    HWND bar = ::GetDlgItem(window_, IDC_UPDATE_PROGRESS);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void UpdateProgressWindow::SetLocation(std::string_view text)
{
    if (window_)
        SetText(::GetDlgItem(window_, IDC_UPDATE_LOCATION), text);
}

void UpdateProgressWindow::PumpMessages()
{
    if (!window_)
        return;
    // Input goes only to this window and its controls; what the user does
    // elsewhere in the program waits in the queue (its owner is disabled
    // anyway), so nothing can start a second update meanwhile.
    MSG message;
    while (window_ && ::PeekMessageW(&message, window_, 0, 0, PM_NOREMOVE)) {
        if (!::PeekMessageW(&message, window_, 0, 0, PM_REMOVE))
            break;
        if (!::IsDialogMessageW(window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    // The dialog underneath keeps its picture while the update runs.
    for (int i = 0; i < kMaxForeignPaints && ::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE);
         ++i)
        ::DispatchMessageW(&message);
}

int UpdateProgressWindow::Finish()
{
    ReleaseOwner();
    if (window_)
        ::ShowWindow(window_, SW_HIDE);
    return cancelled_ ? kFinishedCancelled : kFinishedOk;
}

void UpdateProgressWindow::ReleaseOwner()
{
    if (ownerDisabled_ && owner_)
        ::EnableWindow(owner_, TRUE);
    ownerDisabled_ = false;
}

} // namespace velmora::webupdate::win32
