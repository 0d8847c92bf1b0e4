#pragma once
// The tour: camera modes, the orbit law and the scene clock's start and step
// rules. Everything here is a pure function of the clock value and settings.

#include <cstdint>

#include "camera/Camera.h"

namespace velmora {

// The clock value a scene starts with when no random start is asked for.
inline constexpr double kInitialAnimationTime = 7000.0;

// Modes 0, 1 and 2 all fly the orbit; any other value (compared unsigned, so a
// stored -1 included) leaves the camera in its default pose.
constexpr bool CameraFollowsOrbit(int32_t camMode)
{
    return static_cast<uint32_t>(camMode) <= 2u;
}

// Places the camera on its elliptical path for clock value t.
void UpdateCameraOrbit(Camera& camera, double t);

// The largest speed the step rule takes; larger stored values count as it.
// Its step, 0.1 * 2^97.5, is below 2^95: after 2^31 frames (a year at 64 a
// second) the clock is below 2^126, so the clock stays finite and the
// largest angle handed to OpenGL (2 t degrees, the planet's spin) still fits
// its single precision. Above about 3,360 it would not, and the planet would
// vanish; above 34,200 the step itself overflows to infinity.
inline constexpr int32_t kLargestStepSpeed = 3300;

// Clock advance per drawn frame: 0.1 * 2^((speed - 50) * 0.03). The stored
// value is read as signed: a negative one (a hand-edited registry value)
// counts as 0, values above the slider's 100 follow the formula up to
// kLargestStepSpeed.
double ClockStep(int32_t animationSpeed);

// The start rule: seeds the C generator with the millisecond tick count and
// returns rand() (0..32767) as a double when randomStart is non-zero, else 7000.
double ClockStart(uint32_t randomStart);

} // namespace velmora
