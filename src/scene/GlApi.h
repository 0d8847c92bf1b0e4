#pragma once
// The OpenGL and GLU declarations the scene draws with. Windows' own header
// stops at OpenGL 1.1 and its opengl32.dll exports nothing newer: there the
// later names come from glext.h, and the two multitexture calls the faster
// paths use go through pointers looked up in the current context
// (CombinerUnits() reports no units when they cannot be found, so the 1.1
// paths draw instead).

#include <GL/gl.h>
#include <GL/glu.h>

#if defined(_WIN32)
#include <GL/glext.h>

namespace velmora::gl {

extern PFNGLACTIVETEXTUREPROC activeTexture;
extern PFNGLMULTITEXCOORD2DPROC multiTexCoord2d;

// Looks the pointers up in the current context; true when both exist.
bool LoadMultitexture();

} // namespace velmora::gl

#define glActiveTexture ::velmora::gl::activeTexture
#define glMultiTexCoord2d ::velmora::gl::multiTexCoord2d

// glext.h brings in windows.h, whose 16-bit pointer keywords would eat
// every variable of these names.
#undef near
#undef far
#endif
