# lobbyd's installation and its Debian package (cpack -G DEB in the native build; see
# scripts/package-deb.sh). The package installs under /usr; the unit goes where Debian keeps units.
include(GNUInstallDirs)
# Installing (and packaging) builds only what it installs, not every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON PARENT_SCOPE)
set(LOBBYD_DEBIAN ${CMAKE_CURRENT_SOURCE_DIR}/debian)
set(LOBBYD_PACKAGED ${CMAKE_CURRENT_BINARY_DIR}/packaged)

install(TARGETS lobbyd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The units in the source name /usr/local/bin, where the README's manual install puts the program;
# the installed units name the program where this installation puts it, known only at install
# time. lobbyd@.service is the template for the nodes of a lobby on several processes.
foreach(unit_file lobbyd.service lobbyd@.service)
  install(CODE "
    file(READ \"${CMAKE_CURRENT_SOURCE_DIR}/${unit_file}\" unit)
    string(REPLACE \"ExecStart=/usr/local/bin/\" \"ExecStart=\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\"
                   unit \"\${unit}\")
    file(WRITE \"${LOBBYD_PACKAGED}/${unit_file}\" \"\${unit}\")
  ")
  install(FILES ${LOBBYD_PACKAGED}/${unit_file} DESTINATION /lib/systemd/system)
endforeach()

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Corvane 3 developers <lobbyd@corvane.example>")

# The manual page, made from the program's own --help and --version. Built only for installing
# (scripts/package-deb.sh builds it), not with every build: a sanitized lobbyd is no man page source.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  add_custom_command(
    OUTPUT ${LOBBYD_PACKAGED}/lobbyd.8.gz
    COMMAND ${HELP2MAN} --no-info --section=8 --name=lobby\ server --output=${LOBBYD_PACKAGED}/lobbyd.8
            $<TARGET_FILE:lobbyd>
    COMMAND gzip -9nf ${LOBBYD_PACKAGED}/lobbyd.8
    DEPENDS lobbyd
    VERBATIM)
  add_custom_target(lobbyd_man DEPENDS ${LOBBYD_PACKAGED}/lobbyd.8.gz)
  install(FILES ${LOBBYD_PACKAGED}/lobbyd.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
else()
  message(STATUS "help2man not found: lobbyd is installed without its manual page")
endif()

# Debian wants a copyright file and a compressed changelog beside every package's documentation.
# The version has no Debian revision (the package is made here, from this source), so Debian counts
# it a native package, whose changelog is changelog.gz.
configure_file(${LOBBYD_DEBIAN}/changelog.in ${LOBBYD_PACKAGED}/changelog @ONLY)
add_custom_command(
  OUTPUT ${LOBBYD_PACKAGED}/changelog.gz
  COMMAND gzip -9nkf ${LOBBYD_PACKAGED}/changelog
  DEPENDS ${LOBBYD_PACKAGED}/changelog
  VERBATIM)
add_custom_target(lobbyd_changelog DEPENDS ${LOBBYD_PACKAGED}/changelog.gz)
install(FILES ${LOBBYD_DEBIAN}/copyright ${LOBBYD_PACKAGED}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lobbyd)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lobbyd)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lobby server for the Corvane lobby client")
set(CPACK_PACKAGE_DESCRIPTION "lobbyd keeps the accounts, the chat, the pilots online and the games
announced for the Corvane lobby client. It stores its data in SQLite, or in
PostgreSQL (--store), and runs as a hardened systemd service.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/build/packages)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages (libsqlite3-0, libpq5, libsodium23, ...) come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${LOBBYD_DEBIAN}/postinst ${LOBBYD_DEBIAN}/prerm
                                       ${LOBBYD_DEBIAN}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
