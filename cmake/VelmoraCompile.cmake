# Shared compile settings and helpers for every target of the project.

function(velmora_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VELMORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# velmora_add_gtest(NAME name SOURCES ... LIBS ... [LABELS ...] [ENV ...])
# One executable per suite; every TEST() becomes its own CTest case.
function(velmora_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  velmora_target_defaults(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set(props)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_ENV)
    list(APPEND props ENVIRONMENT "${T_ENV}")
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

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
    target_compile_options(${F_NAME}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${F_NAME}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${F_NAME}_fuzzer PRIVATE ${F_LIBS})
  endif()
endfunction()
