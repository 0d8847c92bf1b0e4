# Shared compile settings and helpers for every target of the project.

function(velmora_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VELMORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(WIN32)
  # M_PI and friends, which the strict C++ mode of mingw's math.h hides.
  add_compile_definitions(_USE_MATH_DEFINES)
endif()

if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# velmora_add_gtest(NAME name SOURCES ... LIBS ... [LABELS ...] [ENV ...] [LOCKS ...])
# One executable per suite; every TEST() becomes its own CTest case.
#
# Cross builds run each suite whole under the emulator (Wine) as one CTest
# case: a Wine start costs about a second, and listing the cases would take
# one more at build time. A skipped case fails the run there, since nothing
# else would show that a Windows test did not run. LOCKS names resources that
# only one test at a time may use (the Wine prefix's own registry, say).
function(velmora_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;ENV;LOCKS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  velmora_target_defaults(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  # The helpers every suite shares live at the top of tests/.
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # The programs a test starts enter themselves in the collection on their
  # first run, data folder included: that folder goes below the build tree,
  # never into the home folder of whoever runs the tests.
  set(props ENVIRONMENT_MODIFICATION "XDG_DATA_HOME=set:${PROJECT_BINARY_DIR}/test-data-home")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_ENV)
    list(APPEND props ENVIRONMENT "${T_ENV}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES ${props}
      FAIL_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
      FIXTURES_REQUIRED velmora_wine_prefix)
    set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT ${VELMORA_CROSS_TEST_ENVIRONMENT})
    if(T_LOCKS)
      set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
    endif()
    return()
  endif()
  # Case names keep the row's name or index only: a row printed as raw bytes
  # carries pointers, which would rename the case with every build.
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES ${props})
endfunction()

# [SECTION] Fuzzing
#
# In the fuzz build (VELMORA_FUZZ, clang) every library of the program carries
# coverage instrumentation and the sanitizers, or libFuzzer sees only the
# harness and the sanitizers none of the parsing. UBSan stops at its first
# report, so an undefined-behaviour finding ends a run like a crash does.
set(VELMORA_FUZZ_COMPILE_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
set(VELMORA_FUZZ_LINK_FLAGS -fsanitize=address,undefined)

# velmora_add_fuzz_target(NAME name SOURCE file LIBS ... CORPUS dir)
# The harness defines LLVMFuzzerTestOneInput. With VELMORA_FUZZ (clang) it
# becomes a libFuzzer binary; in every build it is also linked with a small
# driver that replays the committed corpus, and that replay is a CTest case.
function(velmora_add_fuzz_target)
  cmake_parse_arguments(F "" "NAME;SOURCE;CORPUS" "LIBS" ${ARGN})
  add_executable(${F_NAME}_corpus ${F_SOURCE} ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus_main.cpp)
  velmora_target_defaults(${F_NAME}_corpus)
  target_link_libraries(${F_NAME}_corpus PRIVATE ${F_LIBS})
  add_test(NAME ${F_NAME}_corpus COMMAND ${F_NAME}_corpus ${F_CORPUS})
  set_tests_properties(${F_NAME}_corpus PROPERTIES LABELS fuzz)
  if(VELMORA_FUZZ)
    add_executable(${F_NAME}_fuzzer ${F_SOURCE})
    velmora_target_defaults(${F_NAME}_fuzzer)
    target_compile_options(${F_NAME}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
    target_link_options(${F_NAME}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${F_NAME}_fuzzer PRIVATE ${F_LIBS})
    # scripts/fuzz.sh runs every target listed here, each from its corpus.
    get_filename_component(corpus "${F_CORPUS}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set_property(GLOBAL APPEND PROPERTY VELMORA_FUZZ_TARGETS "${F_NAME}\t$<TARGET_FILE:${F_NAME}_fuzzer>\t${corpus}")
    set_property(GLOBAL APPEND PROPERTY VELMORA_FUZZ_TARGET_NAMES ${F_NAME}_fuzzer)
  endif()
endfunction()

# Every library target defined in `dir` or below, except in the folders named
# in `skip` (absolute paths).
function(velmora_collect_libraries dir skip out)
  set(found)
  if(NOT dir IN_LIST skip)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(STATIC|SHARED|MODULE|OBJECT)_LIBRARY$")
        list(APPEND found ${target})
      endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
      velmora_collect_libraries(${sub} "${skip}" below)
      list(APPEND found ${below})
    endforeach()
  endif()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Called once at the end of the top-level list file, after every folder is
# added: the one place that decides what the fuzz build instruments. Every
# library of the program is, wherever it lives, so a new one cannot be
# forgotten; the build-time generators and the test suites' helpers are not.
# Also writes fuzz-targets.tsv (name, binary, corpus) and the aggregate
# target velmora_fuzzers.
function(velmora_finish_fuzz_build)
  if(NOT VELMORA_FUZZ)
    return()
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VELMORA_FUZZ needs clang (use the fuzz preset)")
  endif()
  velmora_collect_libraries(${PROJECT_SOURCE_DIR} "${PROJECT_SOURCE_DIR}/tools;${PROJECT_SOURCE_DIR}/tests" libraries)
  foreach(target IN LISTS libraries)
    target_compile_options(${target} PRIVATE ${VELMORA_FUZZ_COMPILE_FLAGS})
    # Whatever links an instrumented library needs the sanitizer runtimes.
    target_link_options(${target} INTERFACE ${VELMORA_FUZZ_LINK_FLAGS})
  endforeach()
  list(JOIN libraries " " shown)
  message(STATUS "Fuzz build: instrumented libraries: ${shown}")
  set_property(GLOBAL PROPERTY VELMORA_FUZZ_INSTRUMENTED "${libraries}")

  get_property(rows GLOBAL PROPERTY VELMORA_FUZZ_TARGETS)
  get_property(names GLOBAL PROPERTY VELMORA_FUZZ_TARGET_NAMES)
  list(JOIN rows "\n" content)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzz-targets.tsv CONTENT "${content}\n")
  add_custom_target(velmora_fuzzers)
  if(names)
    add_dependencies(velmora_fuzzers ${names})
  endif()
endfunction()
