// Frames of the tour rendered with the program's own archive on llvmpipe.

#include "scene/GlApi.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ElementGl.h"
#include "scene/SpaceScene.h"

namespace velmora {
namespace {

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // GL order: bottom row first
    std::vector<float> depth;

    const uint8_t* At(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
    int Sum(int x, int y) const { return At(x, y)[0] + At(x, y)[1] + At(x, y)[2]; }
    float DepthAt(int x, int y) const { return depth[static_cast<std::size_t>(y) * width + x]; }
};

Frame Read(int width, int height)
{
    Frame f;
    f.width = width;
    f.height = height;
    f.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    f.depth.resize(static_cast<std::size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, f.rgba.data());
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, f.depth.data());
    return f;
}

// Separate lit spots among the pixels accepted by inSky (8-connected).
int CountPoints(const Frame& f, int threshold, bool onlyEmptyDepth)
{
    const int w = f.width;
    const int h = f.height;
    std::vector<uint8_t> seen(static_cast<std::size_t>(w) * h, 0);
    auto accepted = [&](int x, int y) {
        return f.Sum(x, y) > threshold && (!onlyEmptyDepth || f.DepthAt(x, y) == 1.0f);
    };
    int points = 0;
    std::vector<std::pair<int, int>> stack;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (seen[static_cast<std::size_t>(y) * w + x] || !accepted(x, y))
                continue;
            ++points;
            stack.push_back({x, y});
            seen[static_cast<std::size_t>(y) * w + x] = 1;
            while (!stack.empty()) {
                const auto [cx, cy] = stack.back();
                stack.pop_back();
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = cx + dx;
                        const int ny = cy + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                            continue;
                        uint8_t& s = seen[static_cast<std::size_t>(ny) * w + nx];
                        if (!s && accepted(nx, ny)) {
                            s = 1;
                            stack.push_back({nx, ny});
                        }
                    }
                }
            }
        }
    }
    return points;
}

// A fresh context and scene per test: some tests look at the first frame.
class TourRender : public ::testing::Test {
protected:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;

    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(gl_.Create(kWidth, kHeight, error)) << error;
        ASSERT_EQ(gl_.Scene().AnimationTime(), 7000.0);
    }

    test::ElementGl gl_;
};

TEST_F(TourRender, PlanetCentreIsLitAndBanded)
{
    gl_.Scene().DrawFrame();
    // The model-view now holds the camera alone: project the planet's centre.
    GLdouble mv[16];
    GLdouble proj[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double cx = 0;
    double cy = 0;
    double cz = 0;
    ASSERT_TRUE(gluProject(0, 0, 0, mv, proj, viewport, &cx, &cy, &cz));
    double ex = 0;
    double ey = 0;
    double ez = 0;
    ASSERT_TRUE(gluProject(0, 0, 0.9, mv, proj, viewport, &ex, &ey, &ez));
    const Frame f = Read(kWidth, kHeight);
    const int x = static_cast<int>(cx);
    const int y = static_cast<int>(cy);
    ASSERT_GT(x, 0);
    ASSERT_LT(x, kWidth);
    ASSERT_GT(y, 0);
    ASSERT_LT(y, kHeight);

    // Lit, and drawn by the planet (its depth, not the cleared 1.0).
    EXPECT_GT(f.Sum(x, y), 200);
    EXPECT_LT(f.DepthAt(x, y), 1.0f);

    // Bands: along the line from the centre towards the pole's image the
    // brightness rises and falls several times and the hue is not grey.
    const double len = std::hypot(ex - cx, ey - cy);
    ASSERT_GT(len, 40.0);
    std::vector<int> samples;
    int warm = 0;
    for (double s = -0.6; s <= 0.6; s += 0.01) {
        const int px = static_cast<int>(cx + (ex - cx) * s);
        const int py = static_cast<int>(cy + (ey - cy) * s);
        samples.push_back(f.Sum(px, py));
        warm += f.At(px, py)[0] > f.At(px, py)[2];
    }
    int turns = 0;
    int direction = 0;
    int last = samples.front();
    for (int v : samples) {
        if (std::abs(v - last) < 12)
            continue;
        const int d = v > last ? 1 : -1;
        if (direction != 0 && d != direction)
            ++turns;
        direction = d;
        last = v;
    }
    EXPECT_GE(turns, 3);
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
    EXPECT_GT(*hi - *lo, 60);
    EXPECT_GT(warm, static_cast<int>(samples.size()) / 2);
}

TEST_F(TourRender, SkyShowsStarPointsAroundTheBodies)
{
    gl_.Scene().DrawFrame();
    const Frame f = Read(kWidth, kHeight);
    // Where nothing wrote depth only stars (and the Sun and its glare) are.
    EXPECT_GT(CountPoints(f, 0, true), 300);
}

TEST_F(TourRender, WholeSkyHoldsThousandsOfStars)
{
    // Six 90-degree views from the centre of the star sphere cover the sky.
    ASSERT_EQ(gl_.Scene().Stars().Count(), 9096);
    constexpr int kSide = 512;
    std::string error;
    ASSERT_TRUE(gl_.Create(kSide, kSide, error)) << error;
    const SpaceScene& sky = gl_.Scene();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 1.0, 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    const double dirs[6][6] = {{1, 0, 0, 0, 0, 1}, {-1, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1},
        {0, -1, 0, 0, 0, 1}, {0, 0, 1, 0, 1, 0}, {0, 0, -1, 0, 1, 0}};
    int total = 0;
    for (const auto& d : dirs) {
        glLoadIdentity();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        gluLookAt(0, 0, 0, d[0], d[1], d[2], d[3], d[4], d[5]);
        const_cast<StarCatalogue&>(sky.Stars()).Draw();
        total += CountPoints(Read(kSide, kSide), 0, false);
    }
    EXPECT_GT(total, 5000);
    EXPECT_LE(total, 9096 + 600); // a star on a face's edge may count twice
}

TEST_F(TourRender, FirstFrameHasNoHighlightLaterFramesDo)
{
    // The planet's material is set after its mesh: the first frame draws it
    // with GL's default (no specular), later frames with the specular one.
    GLfloat specular[4];
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    EXPECT_FLOAT_EQ(specular[0], 0.0f);
    gl_.Scene().DrawFrame();
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    EXPECT_FLOAT_EQ(specular[0], 0.6f);
    EXPECT_NEAR(gl_.Scene().AnimationTime(), 7000.1, 1e-9);
}

TEST_F(TourRender, ConsecutiveFramesMoveTheTour)
{
    gl_.Scene().DrawFrame();
    const Frame a = Read(kWidth, kHeight);
    gl_.Scene().SetAnimationTime(7000.0);
    gl_.Scene().DrawFrame();
    const Frame again = Read(kWidth, kHeight);
    // The same clock value gives the same picture, list replay included.
    EXPECT_EQ(a.rgba, again.rgba);
    gl_.Scene().SetAnimationTime(7050.0);
    gl_.Scene().DrawFrame();
    const Frame later = Read(kWidth, kHeight);
    EXPECT_NE(a.rgba, later.rgba);
}

} // namespace
} // namespace velmora
