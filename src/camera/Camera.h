#pragma once
// The viewer's pose. The scene owns exactly one; the orbit law writes its
// three vectors directly and the frame loads it with LookAt().

#include "camera/Vec3.h"

namespace velmora {

class Camera {
public:
    Camera() = default;
    virtual ~Camera() = default;

    // Multiplies the current GL matrix by the look-at matrix of (eye, target,
    // up), exactly as gluLookAt with those nine values. Returns 1.
    virtual int LookAt();

    Vec3 eye {1.0, 1.0, 1.0};
    Vec3 target {0.0, 0.0, 0.0};
    // Need not be unit length nor perpendicular to the view: gluLookAt
    // normalises it.
    Vec3 up {0.0, 1.0, 0.0};
};

} // namespace velmora
