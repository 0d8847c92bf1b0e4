# What `cmake --install` puts in place, and the Debian package built from it
# with `cpack -G DEB` (see the README). Included last, once every program
# target exists.

include(GNUInstallDirs)

set(VELMORA_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)
set(VELMORA_DIST_BUILD_DIR ${PROJECT_BINARY_DIR}/dist)
set(VELMORA_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/velmora3d)

# The programs; randomstart and the windowed parts exist only in builds that
# have what they need.
foreach(program Velmora3D velmora3d-render velmora3d-register randomstart)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Manual pages, compressed as Debian wants them (gzip -n: no name or time
# inside, so the files are the same in every build).
find_program(VELMORA_GZIP gzip REQUIRED)
set(VERSION ${PROJECT_VERSION})
set(velmora_man_pages Velmora3D.6 randomstart.6 velmora3d-render.1 velmora3d-register.1)
set(velmora_man_outputs)
foreach(page IN LISTS velmora_man_pages)
  string(REGEX REPLACE "^(.*)\\.([0-9])$" "\\1" program ${page})
  string(REGEX REPLACE "^(.*)\\.([0-9])$" "\\2" section ${page})
  set(source ${VELMORA_DIST_DIR}/man/${page})
  set(filled ${VELMORA_DIST_BUILD_DIR}/man/${page})
  configure_file(${source} ${filled} @ONLY)
  add_custom_command(
    OUTPUT ${filled}.gz
    COMMAND ${VELMORA_GZIP} -9 -n -c ${filled} > ${filled}.gz
    DEPENDS ${filled}
    VERBATIM)
  list(APPEND velmora_man_outputs ${filled}.gz)
  if(TARGET ${program})
    install(FILES ${filled}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endif()
endforeach()

add_custom_command(
  OUTPUT ${VELMORA_DIST_BUILD_DIR}/changelog.Debian.gz
  COMMAND ${VELMORA_GZIP} -9 -n -c ${VELMORA_DIST_DIR}/debian/changelog > ${VELMORA_DIST_BUILD_DIR}/changelog.Debian.gz
  DEPENDS ${VELMORA_DIST_DIR}/debian/changelog
  VERBATIM)
add_custom_target(velmora_dist_files ALL DEPENDS ${velmora_man_outputs} ${VELMORA_DIST_BUILD_DIR}/changelog.Debian.gz)

# The desktop menu's entry opens the collection's settings dialog; the
# description file lets XScreenSaver's settings program offer the program
# with its options.
install(FILES ${VELMORA_DIST_DIR}/velmora3d.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${VELMORA_DIST_DIR}/xscreensaver/velmora3d.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/xscreensaver/config)
install(FILES ${VELMORA_DIST_DIR}/debian/copyright ${VELMORA_DIST_BUILD_DIR}/changelog.Debian.gz
  DESTINATION ${VELMORA_DOC_DIR})

# The program's icon at each size it is painted in.
if(VELMORA_ICON_DIR)
  foreach(side 16 32 48 64 128)
    install(FILES ${VELMORA_ICON_DIR}/velmora3d-${side}.png
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${side}x${side}/apps
      RENAME velmora3d.png)
  endforeach()
endif()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora3d)
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmora 3D maintainers <maintainers@kestrova3d.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.kestrova3d.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them: Qt's X11 platform
# plugin, and Mesa's drivers for the OpenGL context.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the summary; CPack indents the lines after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "3D screensaver: a flight around Saturn
Velmora 3D flies the camera around the ringed planet Saturn in real time
with OpenGL: the flattened, spinning planet, its rings and their shadows,
the moon Titan, 9,096 real stars and the Sun's lens flares.
.
It runs full screen, as a display hack inside XScreenSaver (or any host
that follows XScreenSaver's conventions), and headless to render frames.
It is a member of the Kestrova 3D collection of screensavers; randomstart
starts a random member of the collection.")
include(CPack)
