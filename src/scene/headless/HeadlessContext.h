#pragma once
// A desktop-GL compatibility context for rendering without a window on
// screen: on an EGL pbuffer (Mesa's surfaceless platform, no display needed),
// or on Windows a hidden window's WGL context drawing into a framebuffer
// object of the requested size. Current on the creating thread for its whole
// life.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class HeadlessContext {
public:
    // Asks for RGBA8 with depth >= 16 and stencil >= 8 bits and makes the
    // context current. Returns null with a reason in error when the system
    // cannot provide it, or when the context has fewer than 2 stencil bits (the
    // ring pass marks pixels with the stencil value 2).
    static std::unique_ptr<HeadlessContext> Create(int width, int height, std::string& error);
    ~HeadlessContext();

    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int DepthBits() const { return depthBits_; }
    int StencilBits() const { return stencilBits_; }

    // Waits for the frame and reads the colour buffer as RGBA rows, top row
    // first (GL returns them bottom-up; they are flipped here).
    std::vector<uint8_t> ReadPixelsTopDown() const;

private:
    HeadlessContext() = default;

    void* display_ = nullptr; // EGLDisplay; the hidden window (HWND) on Windows
    void* surface_ = nullptr; // EGLSurface; its device context (HDC)
    void* context_ = nullptr; // EGLContext; the WGL context (HGLRC)
    unsigned framebuffer_ = 0; // Windows: the framebuffer object drawn into
    unsigned renderbuffers_[2] = {}; // Windows: its colour and depth-stencil storage
    int width_ = 0;
    int height_ = 0;
    int depthBits_ = 0;
    int stencilBits_ = 0;
};

} // namespace velmora
