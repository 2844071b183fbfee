# Shared settings for Corvane's own targets.

# Warnings for our code only; third-party headers come in as SYSTEM. They are errors when CORVANE_WERROR is
# on (the Makefile's builds and CI), so a newer compiler's new warning never breaks a plain user build.
add_library(corvane_warnings INTERFACE)
target_compile_options(corvane_warnings INTERFACE -Wall -Wextra $<$<BOOL:${CORVANE_WERROR}>:-Werror>)
# g++ 12 reports -Wrestrict inside libstdc++'s own std::string operator+ (a const char* joined to a string)
# once it is inlined at -O3: a false positive of that compiler series (GCC bug 105329), not a fault of the
# calling code. Only that warning and only that compiler are silenced.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(corvane_warnings INTERFACE -Wno-restrict)
endif()

include(GNUInstallDirs)
# libunlha32.so is the programs' private library: installed outside the system's library path, in a folder
# of its own below the architecture's library folder (lib/x86_64-linux-gnu/corvane on Debian), and found
# through the executables' RUNPATH, which is relative to their own folder so that an unpacked tree works
# from any root.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(CORVANE_INSTALL_PRIVATE_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}/corvane")
else()
  set(CORVANE_INSTALL_PRIVATE_LIBDIR "lib/corvane")
endif()
file(RELATIVE_PATH corvane_bin_to_private "/${CMAKE_INSTALL_BINDIR}" "/${CORVANE_INSTALL_PRIVATE_LIBDIR}")
set(CORVANE_INSTALL_RPATH "$ORIGIN/${corvane_bin_to_private}")
# The build tree gets the same RUNPATH (pointing nowhere there): the build tree finds libunlha32.so beside
# the executables, and no padding of empty entries, which would mean the current folder, is left behind.

# corvane_test(NAME SOURCES... LIBS libs...)
# One GoogleTest executable per subsystem test folder, each test case registered with ctest.
function(corvane_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main corvane_warnings)
  target_compile_definitions(${name} PRIVATE CORVANE_VECTORS_FALLBACK="${CORVANE_VECTORS_DIR}"
                                              CORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "CORVANE_VECTORS=${CORVANE_VECTORS_DIR}")
endfunction()

# Known-answer vectors made by an independent implementation (testdata/README.md says what made them).
set(CORVANE_VECTORS_DIR "${CMAKE_SOURCE_DIR}/testdata/vectors")
