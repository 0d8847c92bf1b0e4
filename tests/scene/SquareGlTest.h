#pragma once
// The shared bare GL context of the rendering suites: a square headless
// context with the scene's projection, for tests that need no archive.

#include <gtest/gtest.h>

#include "scene/GlApi.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "scene/headless/HeadlessContext.h"

namespace velmora::test {

// A bare square context for element tests that need no archive: viewport,
// the scene's 45-degree perspective, an identity model-view and a cleared
// frame. Null, with the reason in error, when no context can be had.
inline std::unique_ptr<HeadlessContext> SquareGlContext(int size, std::string& error)
{
    std::unique_ptr<HeadlessContext> context = HeadlessContext::Create(size, size, error);
    if (!context)
        return context;
    glViewport(0, 0, size, size);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return context;
}

// A new texture of tightly packed RGB texels, linearly filtered and clamped
// to its edge like the billboard and flare textures; left bound.
inline GLuint UploadClampedRgb(const std::vector<uint8_t>& rgb, int width, int height)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return name;
}

// The colour channels (alpha left out) of two RGBA frames: the largest
// difference, and how many channels differ at all. Frames that are empty or
// of different sizes count as wholly different, so a failed read never
// passes a comparison.
struct ColourDifference {
    int worst = 0;
    std::size_t changed = 0;
};
inline ColourDifference CompareColour(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    ColourDifference diff;
    if (a.empty() || a.size() != b.size()) {
        diff.worst = 255;
        diff.changed = std::max(a.size(), b.size()) + 1;
        return diff;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3)
            continue;
        const int d = std::abs(a[i] - b[i]);
        diff.worst = std::max(diff.worst, d);
        diff.changed += d > 0 ? 1 : 0;
    }
    return diff;
}

// A fixture over SquareGlContext; derived fixtures add their view and
// switches after calling SetUp.
template<int Size> class SquareGlTest : public ::testing::Test {
protected:
    static constexpr int kSize = Size;

    void SetUp() override
    {
        std::string error;
        context_ = SquareGlContext(Size, error);
        ASSERT_TRUE(context_) << error;
    }

    std::unique_ptr<HeadlessContext> context_;
};

} // namespace velmora::test
