# brevio_test(NAME name SOURCES ... LIBS ... [QT])
# A GoogleTest executable registered with CTest. QT tests get the offscreen platform.
function(brevio_test)
  cmake_parse_arguments(T "QT" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(BREVIO_SANITIZE STREQUAL "thread")
    list(APPEND T_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/TsanSuppressions.cpp)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock brevio_warnings)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # The environment goes through `env` as the tests' launcher: test discovery would split an
  # ENVIRONMENT list into separate properties. The neutral locale keeps the dialog's texts in the
  # table's own language whatever the developer's language is.
  set_target_properties(${T_NAME} PROPERTIES CROSSCOMPILING_EMULATOR
    "/usr/bin/env;-u;LANGUAGE;-u;LC_ALL;-u;LC_MESSAGES;LANG=C.UTF-8;BREVIO_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp;QT_QPA_PLATFORM=offscreen;BREVIO_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()
