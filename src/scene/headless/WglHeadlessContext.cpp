// The headless context on Windows: WGL has no surfaceless contexts, so a
// hidden window lends its device context to a context that then draws into a
// framebuffer object of the requested size. The window is never shown, so
// nothing on screen owns its pixels.

#include "scene/headless/HeadlessContext.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/GlProcAddress.h"
#include "scene/GlApi.h"

#include <string>

namespace velmora {

namespace {

constexpr wchar_t kWindowClass[] = L"VelmoraHeadlessGl";

struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    bool Load()
    {
        const auto get = [](auto& pointer, const char* name) {
            pointer
                = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(platform::GlProcAddress(name));
            return pointer != nullptr;
        };
        return get(genFramebuffers, "glGenFramebuffers") && get(bindFramebuffer, "glBindFramebuffer")
            && get(deleteFramebuffers, "glDeleteFramebuffers") && get(genRenderbuffers, "glGenRenderbuffers")
            && get(bindRenderbuffer, "glBindRenderbuffer")
            && get(deleteRenderbuffers, "glDeleteRenderbuffers")
            && get(renderbufferStorage, "glRenderbufferStorage")
            && get(framebufferRenderbuffer, "glFramebufferRenderbuffer")
            && get(checkFramebufferStatus, "glCheckFramebufferStatus");
    }
};

FramebufferCalls& Calls()
{
    static FramebufferCalls calls;
    return calls;
}

bool RegisterWindowClass()
{
    WNDCLASSEXW wc {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::string SystemError(const char* what)
{
    return std::string("headless context: ") + what + " failed (error " + std::to_string(::GetLastError())
        + ")";
}

} // namespace

std::unique_ptr<HeadlessContext> HeadlessContext::Create(int width, int height, std::string& error)
{
    if (width <= 0 || height <= 0) {
        error = "headless context: width and height must be positive";
        return nullptr;
    }
    std::unique_ptr<HeadlessContext> ctx(new HeadlessContext());
    ctx->width_ = width;
    ctx->height_ = height;

    if (!RegisterWindowClass()) {
        error = SystemError("RegisterClassEx");
        return nullptr;
    }
    HWND window = ::CreateWindowExW(
        0, kWindowClass, L"", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        error = SystemError("CreateWindowEx");
        return nullptr;
    }
    ctx->display_ = window;
    HDC dc = ::GetDC(window);
    ctx->surface_ = dc;

    PIXELFORMATDESCRIPTOR request {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 32;
    request.cDepthBits = 24;
    request.cStencilBits = 8;
    const int format = dc ? ::ChoosePixelFormat(dc, &request) : 0;
    if (format == 0 || !::SetPixelFormat(dc, format, &request)) {
        error = SystemError("choosing a pixel format");
        return nullptr;
    }
    HGLRC context = ::wglCreateContext(dc);
    if (!context) {
        error = SystemError("wglCreateContext");
        return nullptr;
    }
    ctx->context_ = context;
    if (!::wglMakeCurrent(dc, context)) {
        error = SystemError("wglMakeCurrent");
        return nullptr;
    }

    FramebufferCalls& fb = Calls();
    if (!fb.Load()) {
        error = "headless context: the GL context has no framebuffer objects (OpenGL 3.0)";
        return nullptr;
    }
    fb.genFramebuffers(1, &ctx->framebuffer_);
    fb.bindFramebuffer(GL_FRAMEBUFFER, ctx->framebuffer_);
    fb.genRenderbuffers(2, ctx->renderbuffers_);
    fb.bindRenderbuffer(GL_RENDERBUFFER, ctx->renderbuffers_[0]);
    fb.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, ctx->renderbuffers_[0]);
    fb.bindRenderbuffer(GL_RENDERBUFFER, ctx->renderbuffers_[1]);
    fb.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    fb.framebufferRenderbuffer(
        GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, ctx->renderbuffers_[1]);
    if (fb.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "headless context: the framebuffer object is incomplete";
        return nullptr;
    }
    glViewport(0, 0, width, height);
    // Tests and tools call the multitexture entry points directly.
    gl::LoadMultitexture();

    GLint depth = 0;
    GLint stencil = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    ctx->depthBits_ = depth;
    ctx->stencilBits_ = stencil;
    if (stencil < 2) {
        error = "headless context: the GL context has " + std::to_string(stencil)
            + " stencil bits; the ring pass needs at least 2";
        return nullptr;
    }
    if (depth < 16) {
        error = "headless context: the GL context has " + std::to_string(depth)
            + " depth bits; at least 16 are needed";
        return nullptr;
    }
    return ctx;
}

HeadlessContext::~HeadlessContext()
{
    HWND window = static_cast<HWND>(display_);
    HDC dc = static_cast<HDC>(surface_);
    HGLRC context = static_cast<HGLRC>(context_);
    if (context && ::wglMakeCurrent(dc, context) && framebuffer_ != 0) {
        FramebufferCalls& fb = Calls();
        fb.bindFramebuffer(GL_FRAMEBUFFER, 0);
        fb.deleteFramebuffers(1, &framebuffer_);
        fb.deleteRenderbuffers(2, renderbuffers_);
    }
    ::wglMakeCurrent(nullptr, nullptr);
    if (context)
        ::wglDeleteContext(context);
    if (dc)
        ::ReleaseDC(window, dc);
    if (window)
        ::DestroyWindow(window);
}

} // namespace velmora
