# Cross builds: the generators (the art, the archive, the icon files, the
# string table as a resource script) run on the build machine, so they are
# built natively in a build of their own and their outputs are taken from
# there. Both Windows presets share that build (VELMORA_HOST_TOOLS_DIR).
#
# Sets VELMORA_ARCHIVE_FILE, VELMORA_ICON_DIR and VELMORA_RC_STRINGS_FILE, and
# the target velmora_host_tools that makes them.
include(ExternalProject)

set(VELMORA_HOST_TOOLS_DIR "${PROJECT_SOURCE_DIR}/build-host-tools"
    CACHE PATH "Native build of the generators for cross builds")
set(velmora_host_generated ${VELMORA_HOST_TOOLS_DIR}/generated)
set(VELMORA_ARCHIVE_FILE "${velmora_host_generated}/velmora_archive.zip"
    CACHE FILEPATH "ZIP archive linked into the programs" FORCE)
set(VELMORA_ICON_DIR ${velmora_host_generated}/icons CACHE INTERNAL "Generated icons and image strip")
set(VELMORA_RC_STRINGS_FILE ${velmora_host_generated}/strings.rc)

ExternalProject_Add(velmora_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${VELMORA_HOST_TOOLS_DIR}
  # A plain native configuration: no toolchain file, no cross settings.
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DVELMORA_ONLY=tools -DVELMORA_TESTS=OFF -DVELMORA_WITH_QT=OFF
    -DVELMORA_WERROR=${VELMORA_WERROR}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target velmora_archive_zip velmora_icon_art
    velmora_rc_strings
  INSTALL_COMMAND ""
  # The generators' own build decides what is out of date.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${VELMORA_ARCHIVE_FILE} ${VELMORA_ICON_DIR}/velmora3d.ico ${VELMORA_ICON_DIR}/strip138.bmp
    ${VELMORA_RC_STRINGS_FILE}
  USES_TERMINAL_BUILD ON)
