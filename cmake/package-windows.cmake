# What a player gets, as CPack packs it: the two programs at the root of the install folder, the
# pictures and sounds below it (the install() rules beside each program). The portable zip is
# Corvane3-<version>-portable.zip with one top folder, "Corvane 3".
set(CPACK_PACKAGE_NAME "Corvane3")
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corvane 3 lobby client and dedicated-server watchdog")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Corvane 3")
set(CPACK_GENERATOR "ZIP")
# Settings of one generator only, so an installer generator can keep the plain layout.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/package-windows-generators.cmake")
include(CPack)
