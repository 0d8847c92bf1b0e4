#pragma once
// What every Win32 view of a dialog template needs: its object found from
// the dialog's window, texts across the UTF-8/UTF-16 edge, and the result a
// dialog procedure reports for a message it handled.

#include "platform/win32/WinHandles.h"

#include <string>
#include <string_view>

#include "platform/win32/WideText.h"

namespace velmora::ui::win32 {

// The dialog procedure of a view class T with `INT_PTR OnMessage(UINT,
// WPARAM, LPARAM)`: the object comes with WM_INITDIALOG (the create
// parameter) and is kept in DWLP_USER; messages before it are left alone.
template<typename T> INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<T*>(lParam)->AttachWindow(dialog);
    }
    auto* self = reinterpret_cast<T*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self)
        return FALSE;
    const INT_PTR result = self->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->DetachWindow();
    }
    return result;
}

// Hands a message's result back from a dialog procedure.
inline INT_PTR DialogResult(HWND dialog, LRESULT result)
{
    ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

inline void SetText(HWND window, std::string_view text)
{
    ::SetWindowTextW(window, velmora::win32::Widen(text).c_str());
}

inline std::string GetText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return velmora::win32::Narrow(text);
}

// The module whose resources the views' templates come from.
inline HINSTANCE ResourceModule()
{
    return ::GetModuleHandleW(nullptr);
}

} // namespace velmora::ui::win32
