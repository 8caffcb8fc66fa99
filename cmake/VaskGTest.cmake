# GoogleTest for the suite: the installed package (find_package), or sources that
# VASK_GTEST_SOURCE_DIR names, built for the target (a cross build with an
# emulator). Never the build machine's sources unasked: they would be built for
# a target they were not meant for. Without either, tests that were only on by
# default turn off; tests asked for (-DVASK_BUILD_TESTS=ON) fail the configure.
if(VASK_GTEST_SOURCE_DIR)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VASK_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)  # newer sources define the alias themselves
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest QUIET)
endif()

if(NOT TARGET GTest::gtest_main)
  set(vask_gtest_hint "install GoogleTest (Debian: libgtest-dev), name its sources with "
    "-DVASK_GTEST_SOURCE_DIR=..., or configure with -DVASK_BUILD_TESTS=OFF")
  if(vask_tests_asked)
    message(FATAL_ERROR "VASK_BUILD_TESTS=ON needs GoogleTest: " ${vask_gtest_hint})
  endif()
  message(WARNING "GoogleTest not found: the tests are off. To build them, " ${vask_gtest_hint})
  set(VASK_BUILD_TESTS OFF)
endif()
