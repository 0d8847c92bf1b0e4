# 32-bit Windows (x86).
set(VELMORA_MINGW_TRIPLET i686-w64-mingw32)
set(VELMORA_MINGW_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# SSE2 arithmetic, not the x87 unit: the same float results as the x64
# build (x87's extra precision makes equal computations compare unequal).
# Every processor Windows 8 and later runs on has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
