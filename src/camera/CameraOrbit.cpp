#include "camera/CameraOrbit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace velmora {

void UpdateCameraOrbit(Camera& camera, double t)
{
    // Radius swings 0.8..1.6 with period 2 pi * 371; one lap per 2 pi / 0.0125.
    const double r = std::sin(t * -0.0026954177897574125) * 0.4 + 1.2;
    const double a = t * -0.0125;
    camera.eye = {r * std::sin(a) * 3.0, r * std::sin(t * -0.02) * -2.0, r * std::cos(a) * 4.0};
    camera.target = {0.0, 0.7, 0.0};
    // Factors 1/120 and 1/130: a slow roll that never quite repeats.
    camera.up = {std::cos(t * 0.008333333333333333), std::sin(t * 0.007692307692307693), 0.0};
}

double ClockStep(int32_t animationSpeed)
{
    const int32_t speed = std::clamp<int32_t>(animationSpeed, 0, kLargestStepSpeed);
    return std::pow(2.0, (static_cast<double>(speed) - 50.0) * 0.03) * 0.1;
}

double ClockStart(uint32_t randomStart)
{
    if (randomStart == 0)
        return kInitialAnimationTime;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    std::srand(static_cast<unsigned>(ms.count()));
    // Kept to 0..32767 whatever the C library's RAND_MAX, so every platform
    // starts the tour within the same span.
    return static_cast<double>(std::rand() & 0x7fff);
}

} // namespace velmora
