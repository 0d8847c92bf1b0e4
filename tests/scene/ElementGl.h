#pragma once
// Shared set-up of the element tests: a headless GL context with the scene
// loaded from the program's real archive, a view of our choosing, and pixel,
// depth and stencil reads.

#include <gtest/gtest.h>

#include "scene/GlApi.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/Vec3.h"
#include "scene/headless/HeadlessContext.h"
#include "scene/SceneNotifier.h"
#include "scene/SpaceScene.h"
#include "settings/SaverSettings.h"
#include "SquareGlTest.h"

namespace velmora::test {

using Rgba = std::array<int, 4>;

struct WindowPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    int Px() const { return static_cast<int>(x); }
    int Py() const { return static_cast<int>(y); }
};

class ElementGl {
public:
    // Context, then the scene's Initialize and Resize: textures, fixed state,
    // light and projection exactly as a run sets them up. A second call
    // drops the scene and its context first.
    bool Create(int width, int height, std::string& error)
    {
        scene_.reset();
        context_.reset();
        context_ = HeadlessContext::Create(width, height, error);
        if (!context_) {
            return false;
        }
        SaverSettings settings;
        settings.RandomCameraStart = 0;
        scene_ = std::make_unique<SpaceScene>(notifier_);
        scene_->Initialize(settings, width, height);
        scene_->Resize(width, height);
        if (notifier_.ErrorCount() != 0) {
            error = std::string(notifier_.FirstError());
            return false;
        }
        return true;
    }

    SpaceScene& Scene() { return *scene_; }
    HeadlessContext& Context() { return *context_; }
    const SceneTextures& Textures() const { return scene_->Textures(); }
    int Width() const { return context_->Width(); }
    int Height() const { return context_->Height(); }

    // Clears everything to the given colour and loads the camera.
    // Stencil testing is turned off and the whole stencil cleared, whatever
    // the previous test left.
    void BeginView(const Vec3& eye, const Vec3& target, const Vec3& up, float grey = 0.0f)
    {
        glDisable(GL_STENCIL_TEST);
        glStencilMask(~0u);
        glClearColor(grey, grey, grey, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
    }

    // An opaque, unlit, untextured sphere writing depth: a stand-in body.
    static void DrawPlainSphere(const Vec3& centre, double radius, float grey)
    {
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glColor3f(grey, grey, grey);
        GLUquadric* q = gluNewQuadric();
        glPushMatrix();
        glTranslated(centre.x, centre.y, centre.z);
        gluSphere(q, radius, 48, 24);
        glPopMatrix();
        gluDeleteQuadric(q);
        glPopAttrib();
    }

    static WindowPoint Project(const Vec3& p)
    {
        GLdouble mv[16], pr[16];
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        WindowPoint w;
        gluProject(p.x, p.y, p.z, mv, pr, vp, &w.x, &w.y, &w.z);
        return w;
    }

    static Rgba Pixel(int x, int y)
    {
        uint8_t px[4] = {};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return {px[0], px[1], px[2], px[3]};
    }

    static int Stencil(int x, int y)
    {
        uint8_t s = 0;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &s);
        return s;
    }

    static float Depth(int x, int y)
    {
        float d = 0.0f;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
        return d;
    }

    // The uploaded pixels of a texture's level 0, first row first.
    static std::vector<uint8_t> TexturePixels(GLuint texture, int& width, int& height)
    {
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

    // RGB of the whole frame, bottom row first.
    std::vector<uint8_t> Frame() const
    {
        std::vector<uint8_t> rgb(static_cast<std::size_t>(Width()) * Height() * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, Width(), Height(), GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

    std::vector<uint8_t> StencilFrame() const
    {
        std::vector<uint8_t> s(static_cast<std::size_t>(Width()) * Height());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, Width(), Height(), GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, s.data());
        return s;
    }

    // Pixels of two frames differing by more than tolerance in any channel.
    static std::size_t CountDiffering(
        const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance = 0)
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3) {
            for (std::size_t c = 0; c < 3; ++c) {
                const int d = static_cast<int>(a[i + c]) - static_cast<int>(b[i + c]);
                if (d > tolerance || d < -tolerance) {
                    ++n;
                    break;
                }
            }
        }
        return n;
    }

private:
    std::unique_ptr<HeadlessContext> context_;
    StderrNotifier notifier_;
    std::unique_ptr<SpaceScene> scene_;
};

// One GL context and scene per suite (making them costs far more than a
// test); a failure to make them fails every test of the suite with its reason.
template<int Width, int Height> class ElementGlSuite : public ::testing::Test {
protected:
    static constexpr int kWidth = Width;
    static constexpr int kHeight = Height;

    static void SetUpTestSuite()
    {
        gl_ = new ElementGl;
        std::string error;
        if (!gl_->Create(Width, Height, error))
            setupError_ = new std::string(error);
    }
    static void TearDownTestSuite()
    {
        delete gl_;
        gl_ = nullptr;
        delete setupError_;
        setupError_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(setupError_, nullptr) << *setupError_; }

    static inline ElementGl* gl_ = nullptr;
    static inline std::string* setupError_ = nullptr;
};

} // namespace velmora::test
