#include "camera/Camera.h"

#include <GL/glu.h>

namespace velmora {

int Camera::LookAt()
{
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
    return 1;
}

} // namespace velmora
