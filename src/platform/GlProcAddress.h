#pragma once
// OpenGL entry points beyond what the system's GL library exports, looked up
// in the context current on this thread (on Windows, wglGetProcAddress).

namespace velmora::platform {

// Null when the current context has no such function (or none is current).
void* GlProcAddress(const char* name);

} // namespace velmora::platform
