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

// Clock advance per drawn frame: 0.1 * 2^((speed - 50) * 0.03). The stored
// value is read as signed and clamped to the slider's range 0..100, so a
// hand-edited registry value can make the step neither infinite nor tiny.
double ClockStep(int32_t animationSpeed);

// The start rule: seeds the C generator with the millisecond tick count and
// returns rand() (0..32767) as a double when randomStart is non-zero, else 7000.
double ClockStart(uint32_t randomStart);

} // namespace velmora
