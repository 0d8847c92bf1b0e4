#pragma once
// A desktop-GL compatibility context on an EGL pbuffer, for rendering without
// a display (Mesa's surfaceless platform). Current on the creating thread for
// its whole life.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class HeadlessContext {
public:
    // Asks for RGBA8 with depth >= 16 and stencil >= 8 bits and makes the
    // context current. Returns null with a reason in error when EGL cannot
    // provide it, or when the context has fewer than 2 stencil bits (the
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

    void* display_ = nullptr; // EGLDisplay
    void* surface_ = nullptr; // EGLSurface
    void* context_ = nullptr; // EGLContext
    int width_ = 0;
    int height_ = 0;
    int depthBits_ = 0;
    int stencilBits_ = 0;
};

} // namespace velmora
