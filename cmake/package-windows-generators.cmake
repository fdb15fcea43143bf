# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "ZIP")
  # The archive's top folder is named for the player, the file for the version.
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-portable")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/${CPACK_PACKAGE_INSTALL_DIRECTORY}")
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-Setup-${CPACK_PACKAGE_VERSION}")
  # makensis signs the uninstaller as it writes it into the installer, then the installer itself;
  # only when package.sh was given a certificate.
  set(CPACK_CV3_NSIS_SIGNING "")
  if(NOT "$ENV{CV3_SIGN_PKCS12}" STREQUAL "")
    set(sign "'\"${CPACK_CV3_SIGN_SCRIPT}\" \"%1\"'")
    set(CPACK_CV3_NSIS_SIGNING "!uninstfinalize ${sign} = 0\n!finalize ${sign} = 0")
  endif()
endif()
