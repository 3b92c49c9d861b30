# The board's Debian package, mipsel or mips, from a cross build (`cpack` in
# the build folder, or `cmake --build <dir> --target package`). A host build
# is a simulation build that refuses to run without BOARD_ROOT: it makes no
# package. Programs are stripped on the way in; dates come from
# SOURCE_DATE_EPOCH (cmake/source_date.cmake), so two builds of one commit
# give the same bytes.
if(NOT CMAKE_CROSSCOMPILING OR BOARD_SIM)
  return()
endif()

set(_norvane_pkg norvane-service)
set(_norvane_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${_norvane_pkg})
set(NORVANE_VERSION ${PROJECT_VERSION})
set(NORVANE_MAINTAINER "Norvane board software <board-software@norvane.invalid>")
string(TIMESTAMP NORVANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# Debian's place for a package's papers: its copyright and, for a package
# that is its own upstream, changelog.gz.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
               ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nf -k changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging VERBATIM)
add_custom_target(package_papers ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${_norvane_doc})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME ${_norvane_pkg})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${_norvane_pkg})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGE_CONTACT ${NORVANE_MAINTAINER})
# The synopsis, at most 80 columns, then the long text; package tools wrap
# lines that start with one blank, so none starts with more.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "service-mode tools of the NV-7400 board: console, FRU EEPROM and ROM tools")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
tolvane is the full-screen service console: board status and clock, SATA
boot port and power-restore policy, network set-up, recovery and ROM
flashing. quellet reads and sets the FRU EEPROM records and backs up,
checks and restores the EEPROM. sarvik prints and checks the information
block of a recovery ROM image.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${NORVANE_DEB_ARCH})
# cpack itself reads the date for the archive members' times.
set(CPACK_NORVANE_SOURCE_DATE_EPOCH ${NORVANE_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_date.cmake)

# dpkg-shlibdeps cannot look into a cross build's libraries, so the list is
# written out: 64-bit time symbols came with glibc 2.34; ncursesw with its
# form, menu and panel libraries is in libncursesw6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libncursesw6 (>= 6.1), libtinfo6 (>= 6.1)")

include(CPack)
