#include "camera/CameraOrbit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace velmora {
namespace {

constexpr double kTol = 1e-6;

void ExpectVec(const Vec3& v, double x, double y, double z, double tol = kTol)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

TEST(Vec3, DefaultIsZeroAndHoldsThreeDoublesInOrder)
{
    const Vec3 zero;
    ExpectVec(zero, 0.0, 0.0, 0.0, 0.0);
    const Vec3 v {1.5, -2.0, 3.25};
    const double* raw = &v.x;
    EXPECT_EQ(raw[0], 1.5);
    EXPECT_EQ(raw[1], -2.0);
    EXPECT_EQ(raw[2], 3.25);
}

TEST(Vec3, HelpersComputeDifferenceDotAndUnitLength)
{
    const Vec3 d = Vec3 {3, 4, 12} - Vec3 {0, 0, 0};
    EXPECT_DOUBLE_EQ(Dot(d, d), 169.0);
    EXPECT_DOUBLE_EQ(Length(d), 13.0);
    ExpectVec(Normalized(d), 3.0 / 13, 4.0 / 13, 12.0 / 13);
    // Zero stays zero instead of becoming NaN.
    ExpectVec(Normalized(Vec3 {}), 0.0, 0.0, 0.0, 0.0);
}

TEST(Camera, DefaultPoseLooksFromOneOneOneAtOriginWithYUp)
{
    const Camera camera;
    ExpectVec(camera.eye, 1.0, 1.0, 1.0, 0.0);
    ExpectVec(camera.target, 0.0, 0.0, 0.0, 0.0);
    ExpectVec(camera.up, 0.0, 1.0, 0.0, 0.0);
}

TEST(CameraOrbit, DefaultStartTimePlacesTheEyeOnItsEllipse)
{
    Camera camera;
    UpdateCameraOrbit(camera, 7000.0);
    ExpectVec(camera.eye, 1.603141, 2.338171, 4.264943);
    ExpectVec(camera.target, 0.0, 0.7, 0.0, 0.0);
    ExpectVec(camera.up, -0.212243, -0.425106, 0.0);
    // The radius of the ellipse at this time, recovered from the eye.
    const double r = std::sin(7000.0 * -0.0026954177897574125) * 0.4 + 1.2;
    EXPECT_NEAR(r, 1.192653, kTol);
    const double ex = camera.eye.x / (3 * r);
    const double ez = camera.eye.z / (4 * r);
    EXPECT_NEAR(ex * ex + ez * ez, 1.0, 1e-12);
}

TEST(CameraOrbit, TimeZeroLooksDownTheZAxisWithXUp)
{
    Camera camera;
    UpdateCameraOrbit(camera, 0.0);
    ExpectVec(camera.eye, 0.0, 0.0, 4.8, 1e-12);
    ExpectVec(camera.up, 1.0, 0.0, 0.0, 1e-12);
    ExpectVec(camera.target, 0.0, 0.7, 0.0, 0.0);
}

TEST(CameraOrbit, RadiusStaysBetweenPointEightAndOnePointSix)
{
    Camera camera;
    double rMin = 10.0;
    double rMax = 0.0;
    for (double t = 0.0; t < 2400.0; t += 0.5) {
        UpdateCameraOrbit(camera, t);
        const double r = camera.eye.z == 0.0 ? 0.0 : std::hypot(camera.eye.x / 3.0, camera.eye.z / 4.0);
        rMin = std::min(rMin, r);
        rMax = std::max(rMax, r);
        EXPECT_LE(std::fabs(camera.eye.y), 2.0 * r + 1e-12);
    }
    EXPECT_NEAR(rMin, 0.8, 1e-4);
    EXPECT_NEAR(rMax, 1.6, 1e-4);
}

TEST(CameraModes, ZeroOneAndTwoFlyTheOrbitOthersDoNot)
{
    EXPECT_TRUE(CameraFollowsOrbit(0));
    EXPECT_TRUE(CameraFollowsOrbit(1));
    EXPECT_TRUE(CameraFollowsOrbit(2));
    EXPECT_FALSE(CameraFollowsOrbit(3));
    EXPECT_FALSE(CameraFollowsOrbit(100));
    // A list without a selection stores -1; compared unsigned it is huge.
    EXPECT_FALSE(CameraFollowsOrbit(-1));
    EXPECT_FALSE(CameraFollowsOrbit(std::numeric_limits<int32_t>::min()));
}

struct StepRow {
    int32_t speed;
    double step;
};

TEST(ClockStep, FollowsTheSpeedTable)
{
    const StepRow rows[] = {{0, 0.0353553}, {25, 0.0594604}, {50, 0.1}, {75, 0.1681793}, {100, 0.2828427}};
    for (const StepRow& row : rows)
        EXPECT_NEAR(ClockStep(row.speed), row.step, 5e-8) << "speed " << row.speed;
    EXPECT_EQ(ClockStep(50), 0.1);
    EXPECT_DOUBLE_EQ(ClockStep(100), 0.1 * std::pow(2.0, 1.5));
    EXPECT_DOUBLE_EQ(ClockStep(0), 0.1 * std::pow(2.0, -1.5));
    // Every 33 1/3 units double the pace: 10 units multiply it by 2^0.3.
    EXPECT_NEAR(ClockStep(60) / ClockStep(50), std::pow(2.0, 0.3), 1e-12);
}

TEST(ClockStep, HandEditedValuesAboveTheSliderFollowTheFormula)
{
    const auto formula = [](double speed) { return std::pow(2.0, (speed - 50.0) * 0.03) * 0.1; };
    for (const int32_t speed : {101, 133, 150, 200, 1000, kLargestStepSpeed})
        EXPECT_DOUBLE_EQ(ClockStep(speed), formula(speed)) << "speed " << speed;
    // 100 units more double the pace three times over (2^3).
    EXPECT_NEAR(ClockStep(200) / ClockStep(100), 8.0, 1e-12);
    EXPECT_GT(ClockStep(101), ClockStep(100));
}

TEST(ClockStep, OnlyNegativeAndOverflowingValuesAreGuarded)
{
    EXPECT_EQ(ClockStep(-1), ClockStep(0));
    EXPECT_EQ(ClockStep(std::numeric_limits<int32_t>::min()), ClockStep(0));
    EXPECT_GT(ClockStep(std::numeric_limits<int32_t>::min()), 0.0);
    EXPECT_EQ(ClockStep(kLargestStepSpeed + 1), ClockStep(kLargestStepSpeed));
    EXPECT_EQ(ClockStep(std::numeric_limits<int32_t>::max()), ClockStep(kLargestStepSpeed));
    // After 2^31 frames from the largest start the planet's spin, 2 t
    // degrees, still fits a float, as OpenGL takes its angles.
    const auto spinAfterAYear = [](double step) { return 2.0 * (step * std::ldexp(1.0, 31) + 32767.0); };
    EXPECT_LT(spinAfterAYear(ClockStep(std::numeric_limits<int32_t>::max())),
        static_cast<double>(std::numeric_limits<float>::max()));
    // The formula alone would not keep it so a little above.
    EXPECT_GT(spinAfterAYear(std::pow(2.0, (3400.0 - 50.0) * 0.03) * 0.1),
        static_cast<double>(std::numeric_limits<float>::max()));
}

TEST(ClockStart, FixedStartIs7000RandomStartIsAnIntegerInRange)
{
    EXPECT_EQ(ClockStart(0), 7000.0);
    EXPECT_EQ(ClockStart(0), kInitialAnimationTime);
    for (int i = 0; i < 50; ++i) {
        const double t = ClockStart(1);
        EXPECT_GE(t, 0.0);
        EXPECT_LE(t, 32767.0);
        EXPECT_EQ(t, std::floor(t));
    }
}

} // namespace
} // namespace velmora
