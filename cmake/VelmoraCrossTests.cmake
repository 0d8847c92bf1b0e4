# Cross builds: GoogleTest built from the sources Debian's googletest package
# ships, with the same target names find_package(GTest) gives natively.
set(VELMORA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${VELMORA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VELMORA_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
# The C runtime is linked statically into every program, GoogleTest too.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELMORA_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest's own build names them GTest::gtest and GTest::gtest_main too.

# Every test run starts from a fresh Wine prefix of this build's own and ends
# its wineserver at the end, so no program of a test outlives the run.
set(VELMORA_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
set(VELMORA_CROSS_TEST_ENVIRONMENT "VELMORA_WINEPREFIX=${PROJECT_BINARY_DIR}/wine-prefix")
add_test(NAME wine_prefix_fresh COMMAND ${VELMORA_WINE_RUN} --fresh)
add_test(NAME wine_prefix_shutdown COMMAND ${VELMORA_WINE_RUN} --shutdown)
set_tests_properties(wine_prefix_fresh PROPERTIES FIXTURES_SETUP velmora_wine_prefix
  ENVIRONMENT "${VELMORA_CROSS_TEST_ENVIRONMENT}")
set_tests_properties(wine_prefix_shutdown PROPERTIES FIXTURES_CLEANUP velmora_wine_prefix
  ENVIRONMENT "${VELMORA_CROSS_TEST_ENVIRONMENT}")
