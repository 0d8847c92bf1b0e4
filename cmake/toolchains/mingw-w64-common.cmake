# Cross-compiling the Windows programs with Debian's mingw-w64. The including
# file sets VELMORA_MINGW_TRIPLET and VELMORA_MINGW_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VELMORA_MINGW_PROCESSOR})

# The -posix compilers: GCC 12's default (win32) thread model has no std::thread.
set(CMAKE_C_COMPILER ${VELMORA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_TRIPLET}-windres)

# Libraries: Debian's mingw zlib in the compiler's own tree, and what
# scripts/setup-windows.sh cross-built from Debian's sources.
if(NOT DEFINED VELMORA_MINGW_PREFIX)
  if(DEFINED ENV{VELMORA_MINGW_PREFIX})
    set(VELMORA_MINGW_PREFIX $ENV{VELMORA_MINGW_PREFIX})
  else()
    set(VELMORA_MINGW_PREFIX /opt/velmora-mingw)
  endif()
endif()
set(VELMORA_MINGW_LIBS ${VELMORA_MINGW_PREFIX}/${VELMORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_TRIPLET} ${VELMORA_MINGW_LIBS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees the cross-built libraries only, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} ${VELMORA_MINGW_LIBS}/lib/pkgconfig:/usr/${VELMORA_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Statically linked: the programs need no DLL that Windows does not ship.
# Debian's mingw zlib comes with an import library too; take the archive.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in a prefix of the test run's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh)
