#pragma once
// The shared bare GL context of the rendering suites: a square headless
// context with the scene's projection, for tests that need no archive.

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <memory>
#include <string>

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
