# client-bench.exe: times cv3client.exe under Wine from outside (start to window, the sign-in's
# roster ingest, private bytes), playing the lobby server on loopback. Reports; never a test.
add_executable(client-bench ${CMAKE_CURRENT_LIST_DIR}/client_bench_win32.cpp)
target_link_libraries(client-bench PRIVATE cv3testbed ws2_32 psapi)
target_link_options(client-bench PRIVATE -municode)
add_dependencies(client-bench cv3client)
