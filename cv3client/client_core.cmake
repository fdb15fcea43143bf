# The client's portable core of its first slice: session, presence, login, roster, commands,
# system information, tray decoding. Added to cv3core so both builds have it.
target_sources(cv3core PRIVATE
  ${CMAKE_SOURCE_DIR}/common/tray.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/session/session_controller.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/session/presence.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/session/login_controller.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/support/client_settings.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/support/system_info.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/ui/roster.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/ui/main_commands.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/ui/web_pages.cpp
)
