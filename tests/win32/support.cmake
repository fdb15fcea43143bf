# Tests of the client's Win32 support: real windows, DCs and GDI+ in-process under Wine.
foreach(t subclass_win32_test drawing_win32_test picture_win32_test tray_win32_test)
  cv3_test(${t} SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${t}.cpp LIBS cv3client_support cv3win32)
endforeach()
target_compile_definitions(picture_win32_test PRIVATE
                           CV3_ASSETS_DIR="${CMAKE_SOURCE_DIR}/assets")
