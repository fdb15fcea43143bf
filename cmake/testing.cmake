# GoogleTest for both builds: the system's library natively, built from /usr/src/googletest for
# the cross build. Windows tests are discovered and run under Wine through the emulator.
include(GoogleTest)
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(CV3_GTEST_MAIN GTest::gtest_main GTest::gmock)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
else()
  find_package(GTest REQUIRED)
  set(CV3_GTEST_MAIN GTest::gtest_main GTest::gmock)
endif()

# cv3_test(name SOURCES... LIBS... [PROPERTIES...]): one test executable, its cases registered
# with CTest, each with the test properties given.
function(cv3_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${CV3_GTEST_MAIN})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 300 ${T_PROPERTIES})
endfunction()
