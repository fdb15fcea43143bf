# lobbyd: conversation tests over loopback (in-process server), unit tests of its parts, and a
# test of the program itself.
set(LOBBYD_TEST_AREAS signin lists presence chat profile games admin persistence badinput units)
foreach(area ${LOBBYD_TEST_AREAS})
  cv3_test(lobbyd_${area}_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/lobbyd_${area}_test.cpp
           LIBS lobbyd_testing)
endforeach()
cv3_test(lobbyd_process_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/lobbyd_process_test.cpp
         LIBS lobbyd_testing)
target_compile_definitions(lobbyd_process_test PRIVATE LOBBYD_PROGRAM="$<TARGET_FILE:lobbyd>")
add_dependencies(lobbyd_process_test lobbyd)
