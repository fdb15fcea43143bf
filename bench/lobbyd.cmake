# lobbyd-bench: load driver for lobbyd on loopback; starts the lobbyd it was built with.
find_package(Threads REQUIRED)
add_executable(lobbyd-bench ${CMAKE_CURRENT_SOURCE_DIR}/lobbyd_bench.cpp)
target_link_libraries(lobbyd-bench PRIVATE cv3core Threads::Threads)
target_compile_definitions(lobbyd-bench PRIVATE ASIO_STANDALONE ASIO_NO_DEPRECATED
                           LOBBYD_PROGRAM="$<TARGET_FILE:lobbyd>")
add_dependencies(lobbyd-bench lobbyd)
