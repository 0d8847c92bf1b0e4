#include "app/win32/PreviewWindow.h"

#include "app/win32/ProgramMessage.h"
#include "platform/ProgramResources.h"
#include "resource.h"

namespace velmora::win32 {

namespace {

constexpr wchar_t kPreviewClass[] = L"Velmora3DPreview";
constexpr UINT_PTR kWatchTimer = 1;

void ShowPictureMessage(HWND owner, const char* text)
{
    ShowProgramMessage(owner, text, MB_ICONEXCLAMATION);
}

} // namespace

bool DrawDibPicture(HDC dc, const DibPicture& picture, const RECT& destination, const RECT& source)
{
    if (picture.Kind() == DibPicture::kEmpty)
        return false;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(picture.Info().data());
    const int dw = destination.right - destination.left;
    const int dh = destination.bottom - destination.top;
    const int sw = source.right - source.left;
    const int sh = source.bottom - source.top;
    // Rows are bottom-up: the source's y counts from the bottom row.
    const int sy = picture.Height() - source.bottom;
    if (dw == sw && dh == sh)
        return ::SetDIBitsToDevice(dc, destination.left, destination.top, static_cast<DWORD>(sw),
                   static_cast<DWORD>(sh), source.left, sy, 0, static_cast<UINT>(picture.Height()),
                   picture.Pixels().data(), info, DIB_RGB_COLORS)
            != 0;
    const int previous = ::SetStretchBltMode(dc, HALFTONE);
    // HALFTONE wants the brush origin set again after the mode change.
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    const int lines = ::StretchDIBits(dc, destination.left, destination.top, dw, dh, source.left, sy, sw, sh,
        picture.Pixels().data(), info, DIB_RGB_COLORS, SRCCOPY);
    ::SetStretchBltMode(dc, previous);
    return lines != static_cast<int>(GDI_ERROR) && lines != 0;
}

PreviewWindow::~PreviewWindow()
{
    if (window_ && !owned_) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

bool PreviewWindow::Create(HWND parent)
{
    RECT client {};
    if (!parent || !::IsWindow(parent) || !::GetClientRect(parent, &client))
        return false;
    if (!LoadPicture())
        return false;
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW wc {};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &PreviewWindow::WindowProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kPreviewClass;
        return ::RegisterClassExW(&wc) != 0;
    }();
    if (!registered)
        return false;
    parent_ = parent;
    window_ = ::CreateWindowExW(0, kPreviewClass, L"Preview", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
        client.bottom, parent, nullptr, instance, this);
    if (!window_)
        return false;
    owned_ = true;
    ::SetTimer(window_, kWatchTimer, kWatchIntervalMs, nullptr);
    return true;
}

bool PreviewWindow::LoadPicture()
{
    const platform::LinkedResource bitmap
        = platform::FindLinkedResource("#2", IDB_PRODUCT_PICTURE); // RT_BITMAP
    switch (picture_.LoadBitmapResource(bitmap.data, bitmap.size)) {
    case DibPicture::LoadResult::Loaded:
        return true;
    case DibPicture::LoadResult::UnsupportedDepth:
        ShowPictureMessage(parent_, DibPicture::kDepthMessage);
        return false;
    case DibPicture::LoadResult::Unreadable:
        break;
    }
    ShowPictureMessage(parent_, DibPicture::kCannotLoadMessage);
    return false;
}

void PreviewWindow::FollowParent()
{
    RECT client {};
    if (!::IsWindow(parent_) || !::GetClientRect(parent_, &client)) {
        ::DestroyWindow(window_);
        return;
    }
    RECT own {};
    ::GetClientRect(window_, &own);
    if (own.right != client.right || own.bottom != client.bottom)
        ::MoveWindow(window_, 0, 0, client.right, client.bottom, TRUE);
}

LRESULT CALLBACK PreviewWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<PreviewWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_TIMER:
        if (wParam == kWatchTimer)
            self->FollowParent();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the picture covers everything
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window, &ps);
        RECT client {};
        ::GetClientRect(window, &client);
        const RECT source {0, 0, self->picture_.Width(), self->picture_.Height()};
        DrawDibPicture(dc, self->picture_, client, source);
        ::EndPaint(window, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self->owned_) {
            self->window_ = nullptr;
            delete self;
            ::PostQuitMessage(0);
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace velmora::win32
