#pragma once
// Looking at and running the Win32 windows a test made in its own process.

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/WideText.h"

namespace velmora::testing {

inline std::string Text(HWND window)
{
    wchar_t buffer[512] = {};
    ::GetWindowTextW(window, buffer, 512);
    return velmora::win32::Narrow(buffer);
}

// Handles this thread's pending messages and returns.
inline void Pump()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// Runs this thread's windows until `done` holds, at most `timeoutMs`.
template<typename Done> bool PumpUntil(int timeoutMs, Done done)
{
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        Pump();
        if (done())
            return true;
        ::Sleep(20);
    }
    return false;
}

// A control's rectangle in dialog units of its dialog.
inline RECT InDialogUnits(HWND dialog, HWND control)
{
    RECT r {};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    RECT unit {0, 0, 4, 8}; // four horizontal units, eight vertical ones
    ::MapDialogRect(dialog, &unit);
    return {r.left * 4 / unit.right, r.top * 8 / unit.bottom, r.right * 4 / unit.right,
        r.bottom * 8 / unit.bottom};
}

struct PlacedControl {
    int id;
    RECT units; // left, top, right, bottom
};

// Each control where its template puts it, within one unit of rounding.
inline void ExpectPlaced(HWND dialog, const std::vector<PlacedControl>& controls)
{
    for (const PlacedControl& c : controls) {
        HWND control = ::GetDlgItem(dialog, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        const RECT r = InDialogUnits(dialog, control);
        EXPECT_NEAR(r.left, c.units.left, 1) << c.id;
        EXPECT_NEAR(r.top, c.units.top, 1) << c.id;
        EXPECT_NEAR(r.right, c.units.right, 1) << c.id;
        EXPECT_NEAR(r.bottom, c.units.bottom, 1) << c.id;
    }
}

// A top-level window of a class that does nothing of its own, for a test's
// host, parent or owner windows; the class is registered on first use.
inline HWND MakePlainWindow(const wchar_t* title, DWORD style, DWORD extendedStyle, RECT r)
{
    static const ATOM plainClass = [] {
        WNDCLASSW wc {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = L"VelmoraTestWindow";
        return ::RegisterClassW(&wc);
    }();
    return ::CreateWindowExW(extendedStyle, MAKEINTATOM(plainClass), title, style, r.left, r.top,
        r.right - r.left, r.bottom - r.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// The texts of a list view's rows, in order.
inline std::vector<std::string> ListRows(HWND list)
{
    std::vector<std::string> rows;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        wchar_t text[256] = {};
        LVITEMW item {};
        item.pszText = text;
        item.cchTextMax = 256;
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        rows.push_back(velmora::win32::Narrow(text));
    }
    return rows;
}

// Selects and focuses a list view's row, as a click does, and lets the
// dialog answer.
inline void FocusListRow(HWND list, int row)
{
    LVITEMW state {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    Pump();
}

} // namespace velmora::testing
