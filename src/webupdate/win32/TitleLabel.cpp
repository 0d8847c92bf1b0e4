#include "webupdate/win32/TitleLabel.h"

#include <commctrl.h>

namespace velmora::webupdate::win32 {

TitleLabel::~TitleLabel()
{
    Detach();
}

bool TitleLabel::Attach(HWND control)
{
    Detach();
    if (!control
        || !::SetWindowSubclass(control, &TitleLabel::Procedure, 0, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    control_ = control;
    return true;
}

void TitleLabel::Detach()
{
    if (control_)
        ::RemoveWindowSubclass(control_, &TitleLabel::Procedure, 0);
    control_ = nullptr;
}

void TitleLabel::SetFont(COLORREF colour, int height, const wchar_t* face, bool bold, bool italic,
    bool underline, bool strikeOut, bool emboss)
{
    colour_ = colour;
    emboss_ = emboss;
    font_.Reset();
    if (face && *face) {
        if (height == 0 && control_) {
            RECT client {};
            ::GetClientRect(control_, &client);
            height = client.bottom;
        }
        font_.Reset(::CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, underline, strikeOut,
            DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face));
    }
    if (control_)
        ::InvalidateRect(control_, nullptr, TRUE);
}

void TitleLabel::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(control_, &ps);
    RECT client {};
    ::GetClientRect(control_, &client);
    const int length = ::GetWindowTextLengthW(control_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control_, text.data(), length + 1)));

    const HGDIOBJ oldFont
        = ::SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_.Get()) : ::GetStockObject(ANSI_VAR_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    const LONG style = ::GetWindowLongW(control_, GWL_STYLE);
    UINT format = DT_NOPREFIX | DT_SINGLELINE;
    if ((style & SS_TYPEMASK) == SS_CENTER)
        format |= DT_CENTER;
    else if ((style & SS_TYPEMASK) == SS_RIGHT)
        format |= DT_RIGHT;
    else
        format |= DT_LEFT;
    const int count = static_cast<int>(text.size());
    if (emboss_) {
        RECT shifted = client;
        ::OffsetRect(&shifted, -1, -1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_3DHILIGHT));
        ::DrawTextW(dc, text.c_str(), count, &shifted, format);
        shifted = client;
        ::OffsetRect(&shifted, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_3DSHADOW));
        ::DrawTextW(dc, text.c_str(), count, &shifted, format);
    }
    ::SetTextColor(dc, colour_);
    ::DrawTextW(dc, text.c_str(), count, &client, format);
    ::SelectObject(dc, oldFont);
    ::EndPaint(control_, &ps);
}

LRESULT CALLBACK TitleLabel::Procedure(
    HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    auto* label = reinterpret_cast<TitleLabel*>(self);
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client {};
        ::GetClientRect(control, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    case WM_PAINT:
        label->Paint();
        return 0;
    case WM_SETTEXT: {
        const LRESULT result = ::DefSubclassProc(control, message, wParam, lParam);
        ::InvalidateRect(control, nullptr, TRUE);
        ::UpdateWindow(control);
        return result;
    }
    case WM_NCDESTROY:
        label->Detach();
        return ::DefSubclassProc(control, message, wParam, lParam);
    default:
        return ::DefSubclassProc(control, message, wParam, lParam);
    }
}

} // namespace velmora::webupdate::win32
