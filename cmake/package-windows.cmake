# What a player gets, as CPack packs it: the two programs at the root of the install folder, the
# pictures and sounds below it (the install() rules beside each program). The portable zip is
# Corvane3-<version>-portable.zip with one top folder, "Corvane 3"; the installer,
# Corvane3-Setup-<version>.exe, is made by NSIS from our own script (cmake/nsis/NSIS.template.in).
set(CPACK_PACKAGE_NAME "Corvane3")
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corvane 3 lobby client and dedicated-server watchdog")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Corvane 3")
set(CPACK_CV3_COPYRIGHT "Copyright (C) 2026 the Corvane developers")
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/assets/cv3client.ico")
# The installer's script signs what makensis writes through this script when a certificate is given.
set(CPACK_CV3_SIGN_SCRIPT "${PROJECT_SOURCE_DIR}/scripts/sign-windows.sh")
set(CPACK_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}/nsis")
set(CPACK_GENERATOR "ZIP;NSIS")
# Settings of one generator only, so each keeps its own names and layout.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/package-windows-generators.cmake")
include(CPack)
