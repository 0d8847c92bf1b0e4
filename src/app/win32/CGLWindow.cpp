// [SECTION] Services and window classes
// [SECTION] Life cycle: create, context, display mode, covers
// [SECTION] Frames
// [SECTION] Input and system messages
// [SECTION] Closing and teardown
// [SECTION] Scene notifications

#include "app/win32/CGLWindow.h"

#include <windowsx.h>

#include "app/DisplayModeSetup.h"
#include "app/FrameRateProbe.h"
#include "app/win32/ProgramMessage.h"
#include "platform/Clock.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Display.h"
#include "StringTable.h"
#include "ui/win32/LoadingWindow.h"

namespace velmora::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"Velmora3DScreenSaver";
constexpr wchar_t kCoverClass[] = L"Velmora3DCover";
constexpr UINT_PTR kFrameTimer = 0;

constexpr const char* kNoPixelFormat = "Can't Find A Suitable PixelFormat.";
constexpr const char* kCantSetPixelFormat = "Can't Set The PixelFormat.";
constexpr const char* kNoContext = "Can't Create A GL Rendering Context.";
constexpr const char* kCantActivate = "Can't activate GLRC.";
constexpr const char* kNoScene = "Can't create the scene.";

// The program's pixel format request: double-buffered RGBA with depth and
// stencil. Eight stencil bits are asked for because every driver offers
// them; the chosen format is checked for the two the scene needs.
PIXELFORMATDESCRIPTOR PixelFormatRequest()
{
    PIXELFORMATDESCRIPTOR pfd {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 16;
    pfd.cDepthBits = CGLWindow::kMinDepthBits;
    pfd.cStencilBits = 8;
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

BOOL CALLBACK CollectOtherMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list)
{
    MONITORINFO info {};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY))
        reinterpret_cast<std::vector<RECT>*>(list)->push_back(info.rcMonitor);
    return TRUE;
}

PixelPoint ScreenPoint(HWND window, LPARAM lParam)
{
    POINT p {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(window, &p);
    return {p.x, p.y};
}

} // namespace

// [SECTION] Services and window classes

CGLWindow::Services CGLWindow::DesktopServices(SceneFactory makeScene)
{
    Services services;
    services.makeScene = std::move(makeScene);
    services.displays = platform::MakeWin32DisplaySwitcher();
    services.showMessage = &ShowProgramMessage;
    services.setScreenSaverRunning = [](bool running) { platform::SetWin32ScreenSaverRunning(running); };
    services.tickCountMs = [] { return static_cast<int64_t>(platform::TickCountMs()); };
    services.fullScreenClientSize = [] {
        return PixelSize {::GetSystemMetrics(SM_CXFULLSCREEN), ::GetSystemMetrics(SM_CYFULLSCREEN)};
    };
    services.frameDrawn = FrameRateProbe::HookFromEnvironment(services.tickCountMs);
    return services;
}

CGLWindow::CGLWindow(Services services)
    : services_(std::move(services))
{
}

CGLWindow::~CGLWindow()
{
    // A run that never got going still gives back what it took.
    if (!closing_ && (context_ || scene_ || window_))
        Teardown();
    if (window_) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

// [SECTION] Life cycle: create, context, display mode, covers

CGLWindow::CreateResult CGLWindow::Create(const RECT& rect)
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW wc {};
        wc.cbSize = sizeof wc;
        // Its own device context: the GL context is bound to it for the run.
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &CGLWindow::WindowProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        WNDCLASSEXW cover = wc;
        cover.style = 0;
        cover.lpfnWndProc = &CGLWindow::CoverProc;
        cover.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        cover.lpszClassName = kCoverClass;
        return ::RegisterClassExW(&wc) != 0 && ::RegisterClassExW(&cover) != 0;
    }();
    if (!registered)
        return CreateResult::WindowFailed;

    creating_ = true;
    window_ = ::CreateWindowExW(WS_EX_TOPMOST, kWindowClass, L"", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, this);
    if (!window_) {
        creating_ = false;
        return CreateResult::WindowFailed;
    }
    dc_ = ::GetDC(window_);

    // Unlike a chain that carries on after a failed step, stop at the first
    // one: a scene set up without a current context would draw nowhere.
    if (!CreateContext()) {
        creating_ = false;
        Teardown();
        ::PostQuitMessage(1);
        return CreateResult::ContextFailed;
    }

    settings_.Load();
    const PixelSize client = ClientPixels();
    {
        const ui::win32::LoadingWindow loading(instance);
        scene_ = services_.makeScene(*this);
        if (scene_)
            scene_->Initialize(settings_, client.width, client.height);
    }
    if (!scene_) {
        services_.showMessage(window_, kNoScene, MB_ICONERROR);
        creating_ = false;
        Teardown();
        ::PostQuitMessage(1);
        return CreateResult::ContextFailed;
    }

    ApplyDisplayMode();
    ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
        ::GetSystemMetrics(SM_CYSCREEN), SWP_SHOWWINDOW);
    CoverOtherMonitors();
    const PixelSize resized = ClientPixels();
    scene_->Resize(resized.width, resized.height);

    services_.setScreenSaverRunning(true);
    ::SetForegroundWindow(window_);
    ::SetFocus(window_);
    ::SetTimer(window_, kFrameTimer, 0, nullptr);
    creating_ = false;
    if (quitAfterCreate_)
        RequestClose();
    return CreateResult::Created;
}

bool CGLWindow::CreateContext()
{
    const PIXELFORMATDESCRIPTOR request = PixelFormatRequest();
    const int format = dc_ ? ::ChoosePixelFormat(dc_, &request) : 0;
    PIXELFORMATDESCRIPTOR chosen {};
    if (format == 0 || ::DescribePixelFormat(dc_, format, sizeof chosen, &chosen) == 0
        || !(chosen.dwFlags & PFD_SUPPORT_OPENGL) || !(chosen.dwFlags & PFD_DOUBLEBUFFER)
        || chosen.iPixelType != PFD_TYPE_RGBA || chosen.cDepthBits < kMinDepthBits
        || chosen.cStencilBits < kMinStencilBits) {
        services_.showMessage(window_, kNoPixelFormat, MB_ICONERROR);
        return false;
    }
    if (!::SetPixelFormat(dc_, format, &chosen)) {
        services_.showMessage(window_, kCantSetPixelFormat, MB_ICONERROR);
        return false;
    }
    context_ = ::wglCreateContext(dc_);
    if (!context_) {
        services_.showMessage(window_, kNoContext, MB_ICONERROR);
        return false;
    }
    if (!::wglMakeCurrent(dc_, context_)) {
        services_.showMessage(window_, kCantActivate, MB_ICONERROR);
        return false;
    }
    return true;
}

void CGLWindow::ApplyDisplayMode()
{
    const DisplayModeOutcome outcome
        = ApplyConfiguredDisplayMode(settings_, *services_.displays, services_.fullScreenClientSize());
    displayModeChanged_ = outcome.changed;
    if (outcome.saveSettings)
        settings_.Save();
}

void CGLWindow::CoverOtherMonitors()
{
    std::vector<RECT> others;
    ::EnumDisplayMonitors(nullptr, nullptr, &CollectOtherMonitor, reinterpret_cast<LPARAM>(&others));
    for (const RECT& r : others) {
        HWND cover = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverClass, L"",
            WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left, r.bottom - r.top, window_, nullptr,
            ::GetModuleHandleW(nullptr), this);
        if (cover)
            covers_.push_back(cover);
    }
}

PixelSize CGLWindow::ClientPixels() const
{
    RECT r {};
    if (!window_ || !::GetClientRect(window_, &r))
        return {};
    return {r.right - r.left, r.bottom - r.top};
}

// [SECTION] Frames

void CGLWindow::OnTimer()
{
    if (busy_ || closing_ || !scene_)
        return;
    if (slowWatch_.OnFrame(framesDrawn_, services_.tickCountMs())) {
        busy_ = true;
        ::KillTimer(window_, kFrameTimer);
        services_.showMessage(window_, strings::kSlowMachineWarning, MB_ICONEXCLAMATION);
        if (closing_)
            return;
        ::SetTimer(window_, kFrameTimer, 0, nullptr);
        busy_ = false;
        ::SetForegroundWindow(window_);
    }
    ++framesDrawn_;
    scene_->DrawFrame();
    ::SwapBuffers(dc_);
    if (services_.frameDrawn && services_.frameDrawn(framesDrawn_, ClientPixels()))
        RequestClose();
}

// [SECTION] Input and system messages

void CGLWindow::RequestClose()
{
    if (creating_) {
        quitAfterCreate_ = true;
        return;
    }
    if (window_ && !closing_)
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

void CGLWindow::OnMouseMove(PixelPoint screenPosition)
{
    if (moveWatch_.OnMove(screenPosition, busy_))
        RequestClose();
}

bool CGLWindow::OnSetCursor()
{
    if (ClosingDisabled())
        return false;
    ::SetCursor(nullptr);
    return true;
}

bool CGLWindow::OnCoverInput(HWND cover, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
        if (settings_.DemoMode == 0)
            OnMouseMove(ScreenPoint(cover, lParam));
        return true;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
        RequestClose();
        return true;
    case WM_SETCURSOR:
        return OnSetCursor();
    default:
        return false;
    }
}

LRESULT CALLBACK CGLWindow::CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CGLWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->OnCoverInput(window, message, wParam, lParam))
        return message == WM_SETCURSOR ? TRUE : 0;
    if (message == WM_MOUSEACTIVATE)
        return MA_NOACTIVATE; // the run's own window keeps the focus
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK CGLWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* created = static_cast<CGLWindow*>(create->lpCreateParams);
        created->window_ = window; // messages arrive before CreateWindowEx returns
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<CGLWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // After the window is gone: the flag back, the object away, the run
        // over. A window that goes while Create runs is its caller's to clean.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->services_.setScreenSaverRunning(false);
        if (!self->creating_) {
            delete self;
            ::PostQuitMessage(0);
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CGLWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam != kFrameTimer)
            break;
        OnTimer();
        if (busy_)
            return 0;
        break;
    case WM_KEYDOWN:
        // Every key counts; system keys (Alt combinations, F10) arrive as
        // WM_SYSKEYDOWN and do not close.
        RequestClose();
        break;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
        RequestClose();
        break;
    case WM_MOUSEMOVE:
        if (settings_.DemoMode != 0)
            return 0;
        OnMouseMove(ScreenPoint(window_, lParam));
        break;
    case WM_SETCURSOR:
        if (OnSetCursor())
            return TRUE;
        break;
    case WM_NCACTIVATE:
        if (wParam == FALSE && !ClosingDisabled() && !creating_) {
            RequestClose();
            return FALSE; // the deactivation is refused
        }
        break;
    case WM_CANCELMODE:
        if (!ClosingDisabled())
            RequestClose();
        break;
    case WM_ERASEBKGND: {
        RECT r {};
        ::GetClientRect(window_, &r);
        ::FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        return 1;
    }
    case WM_SIZE:
        if (scene_ && context_ && !closing_) {
            ::wglMakeCurrent(dc_, context_);
            scene_->Resize(LOWORD(lParam), HIWORD(lParam));
        }
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_SCREENSAVE: // the system must not start another screensaver
        case SC_CLOSE: // Alt+F4 does not end the run; input does
            return 0;
        default:
            break;
        }
        break;
    case WM_POWERBROADCAST:
        return BROADCAST_QUERY_DENY;
    case WM_CLOSE:
        ::KillTimer(window_, kFrameTimer);
        if (!destroying_) {
            destroying_ = true;
            ::DestroyWindow(window_);
        }
        return 0;
    case WM_DESTROY:
        if (!closing_)
            Teardown();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

// [SECTION] Closing and teardown

void CGLWindow::Teardown()
{
    closing_ = true;
    if (window_)
        ::KillTimer(window_, kFrameTimer);
    // The mode stored in the registry comes back first, so the desktop never
    // sees the run's mode without the run.
    if (services_.displays)
        services_.displays->Restore();
    // GL objects go while their context is current.
    if (scene_ && context_ && ::wglMakeCurrent(dc_, context_))
        scene_->ReleaseGlObjects();
    ::wglMakeCurrent(nullptr, nullptr);
    if (context_)
        ::wglDeleteContext(context_);
    context_ = nullptr;
    if (scene_)
        scene_->ReleaseBuffers();
    for (HWND cover : covers_)
        ::DestroyWindow(cover);
    covers_.clear();
    // Everything below the run's windows repaints.
    const RECT screen {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::RedrawWindow(nullptr, &screen, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    if (dc_ && window_)
        ::ReleaseDC(window_, dc_);
    dc_ = nullptr;
}

// [SECTION] Scene notifications

void CGLWindow::ShowError(std::string_view message)
{
    services_.showMessage(window_, message, MB_ICONERROR);
}

void CGLWindow::ShowPlainMessage(std::string_view message)
{
    services_.showMessage(window_, message, 0);
}

void CGLWindow::RequestQuit()
{
    RequestClose();
}

} // namespace velmora::win32
