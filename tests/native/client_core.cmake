# Tests of the client's portable core (session, presence, login, roster, commands, tray, system
# information); the fakes they share are in client_fakes.h.
cv3_test(session_controller_test
         SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/session_controller_test.cpp LIBS cv3core)
cv3_test(presence_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/presence_test.cpp LIBS cv3core)
cv3_test(roster_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/roster_test.cpp LIBS cv3core)
cv3_test(login_controller_test
         SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/login_controller_test.cpp LIBS cv3core)
cv3_test(main_commands_test
         SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/main_commands_test.cpp LIBS cv3core)
cv3_test(tray_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tray_test.cpp LIBS cv3core)
cv3_test(system_info_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/system_info_test.cpp LIBS cv3core)

# The session core against a real lobbyd over loopback (native only, where lobbyd is built).
if(TARGET lobbyd)
  cv3_test(client_lobbyd_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/client_lobbyd_test.cpp
           LIBS cv3core)
  target_compile_definitions(client_lobbyd_test PRIVATE LOBBYD_PROGRAM="$<TARGET_FILE:lobbyd>")
  add_dependencies(client_lobbyd_test lobbyd)
endif()
