#include "scene/headless/HeadlessContext.h"

#include "scene/GlApi.h"

#include <cstring>

namespace velmora {

std::vector<uint8_t> HeadlessContext::ReadPixelsTopDown() const
{
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
    std::vector<uint8_t> bottomUp(rowBytes * static_cast<std::size_t>(height_));
    glFinish();
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    glPopClientAttrib();
    std::vector<uint8_t> topDown(bottomUp.size());
    for (int y = 0; y < height_; ++y)
        std::memcpy(&topDown[static_cast<std::size_t>(y) * rowBytes],
            &bottomUp[static_cast<std::size_t>(height_ - 1 - y) * rowBytes], rowBytes);
    return topDown;
}

} // namespace velmora
