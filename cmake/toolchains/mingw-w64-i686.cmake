# 32-bit Windows (x86).
set(VELMORA_MINGW_TRIPLET i686-w64-mingw32)
set(VELMORA_MINGW_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
