# Shared settings for Corvane's own targets.

# Warnings as errors for our code only; third-party headers come in as SYSTEM.
add_library(corvane_warnings INTERFACE)
target_compile_options(corvane_warnings INTERFACE -Wall -Wextra -Werror)

# corvane_test(NAME SOURCES... LIBS libs...)
# One GoogleTest executable per subsystem test folder, each test case registered with ctest.
function(corvane_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main corvane_warnings)
  target_compile_definitions(${name} PRIVATE CORVANE_VECTORS_FALLBACK="${CORVANE_VECTORS_DIR}")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "CORVANE_VECTORS=${CORVANE_VECTORS_DIR}")
endfunction()

# Known-answer vectors made by an independent implementation (testdata/README.md says what made them).
set(CORVANE_VECTORS_DIR "${CMAKE_SOURCE_DIR}/testdata/vectors")
