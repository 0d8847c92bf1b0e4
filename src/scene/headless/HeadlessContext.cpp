#include "scene/headless/HeadlessContext.h"

#include "scene/GlApi.h"
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace velmora {

namespace {

// The surfaceless platform needs no display server; EGL_DEFAULT_DISPLAY
// through eglGetDisplay would look for X and fail without it.
EGLDisplay OpenSurfacelessDisplay()
{
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (clientExtensions && std::strstr(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        const EGLDisplay d
            = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d != EGL_NO_DISPLAY)
            return d;
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

std::string EglError(const char* what)
{
    char buf[96];
    std::snprintf(
        buf, sizeof buf, "%s failed (EGL error 0x%04x)", what, static_cast<unsigned>(eglGetError()));
    return buf;
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

    const EGLDisplay display = OpenSurfacelessDisplay();
    if (display == EGL_NO_DISPLAY) {
        error = EglError("eglGetPlatformDisplay");
        return nullptr;
    }
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
        error = EglError("eglInitialize");
        return nullptr;
    }
    ctx->display_ = display;

    const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 16,
        EGL_STENCIL_SIZE, 8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(display, configAttribs, &config, 1, &configCount) || configCount < 1) {
        error = "headless context: no EGL config with RGBA8, depth >= 16 and stencil >= 8 bits";
        return nullptr;
    }
    const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    const EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttribs);
    if (surface == EGL_NO_SURFACE) {
        error = EglError("eglCreatePbufferSurface");
        return nullptr;
    }
    ctx->surface_ = surface;
    // Desktop GL with the compatibility profile: the scene draws with the
    // fixed-function pipeline.
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = EglError("eglBindAPI(EGL_OPENGL_API)");
        return nullptr;
    }
    const EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        error = EglError("eglCreateContext");
        return nullptr;
    }
    ctx->context_ = context;
    if (!eglMakeCurrent(display, surface, surface, context)) {
        error = EglError("eglMakeCurrent");
        return nullptr;
    }

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
    if (!display_)
        return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_)
        eglDestroyContext(display_, context_);
    if (surface_)
        eglDestroySurface(display_, surface_);
    // The display stays initialised: EGL counts no references, and another
    // context of this process may still use it.
}

} // namespace velmora
