# Platform support of the client over Win32: pictures (GDI+), window subclassing, the tiled
# tree's drawing, the system version; and the tray icon shared with the watchdog.
add_library(cv3client_support STATIC
  ${CMAKE_SOURCE_DIR}/common/tray_win32.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/support/drawing_win32.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/support/picture_win32.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/support/subclass_win32.cpp
  ${CMAKE_SOURCE_DIR}/cv3client/support/system_info_win32.cpp
)
target_link_libraries(cv3client_support PUBLIC cv3win32 gdiplus comctl32 gdi32 user32 shell32
                      ole32 oleaut32)
