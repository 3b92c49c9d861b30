# One Debian package per architecture: amd64 from the host build, mipsel or
# mips from a cross build (`cpack` in the build folder, or
# `cmake --build <dir> --target package`). Programs are stripped on the way in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvane-service)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGE_CONTACT "Norvane board software <board-software@norvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Service-mode tools of the NV-7400 board: console, FRU EEPROM tool, ROM information")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "tolvane is the full-screen service console (status and clock, SATA boot port and\n power-restore policy, network set-up, recovery and ROM flashing); quellet reads\n and sets the FRU EEPROM records; sarvik prints and checks a recovery ROM image's\n information block.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)

if(CMAKE_CROSSCOMPILING AND NORVANE_DEB_ARCH)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${NORVANE_DEB_ARCH})
else()
  find_program(_norvane_dpkg dpkg)
  if(_norvane_dpkg)
    execute_process(COMMAND ${_norvane_dpkg} --print-architecture
                    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()

# dpkg-shlibdeps cannot look into a cross build's libraries, so the list is
# written out: 64-bit time symbols came with glibc 2.34; ncursesw with its
# form, menu and panel libraries is in libncursesw6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libncursesw6 (>= 6.1), libtinfo6 (>= 6.1)")

include(CPack)
