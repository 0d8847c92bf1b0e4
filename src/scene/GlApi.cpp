#include "scene/GlApi.h"

#include "platform/GlProcAddress.h"

namespace velmora::gl {

PFNGLACTIVETEXTUREPROC activeTexture = nullptr;
PFNGLMULTITEXCOORD2DPROC multiTexCoord2d = nullptr;

bool LoadMultitexture()
{
    // Looked up again for every context: pointers of one driver's context
    // need not hold in another's.
    activeTexture = reinterpret_cast<PFNGLACTIVETEXTUREPROC>(platform::GlProcAddress("glActiveTexture"));
    multiTexCoord2d
        = reinterpret_cast<PFNGLMULTITEXCOORD2DPROC>(platform::GlProcAddress("glMultiTexCoord2d"));
    if (!activeTexture || !multiTexCoord2d) {
        activeTexture
            = reinterpret_cast<PFNGLACTIVETEXTUREPROC>(platform::GlProcAddress("glActiveTextureARB"));
        multiTexCoord2d
            = reinterpret_cast<PFNGLMULTITEXCOORD2DPROC>(platform::GlProcAddress("glMultiTexCoord2dARB"));
    }
    return activeTexture && multiTexCoord2d;
}

} // namespace velmora::gl
