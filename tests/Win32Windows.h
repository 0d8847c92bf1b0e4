#pragma once
// Looking at and running the Win32 windows a test made in its own process.

#include <windows.h>

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

} // namespace velmora::testing
