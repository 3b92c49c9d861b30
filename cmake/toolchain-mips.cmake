# Big-endian 32-bit MIPS Linux, Debian's g++-mips-linux-gnu (also the common
# part of toolchain-mipsel.cmake). Target libraries come from
# scripts/cross-deps into NORVANE_CROSS_ROOT (default build-cross-deps/<arch>),
# laid out as the board's /usr; tests run under qemu-user with the
# cross C library as the guest's root.
if(NOT DEFINED NORVANE_TRIPLET)
  set(NORVANE_TRIPLET mips-linux-gnu)
  set(NORVANE_QEMU qemu-mips)
  set(NORVANE_DEB_ARCH mips)
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(CMAKE_C_COMPILER ${NORVANE_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${NORVANE_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${NORVANE_TRIPLET})

# try_compile projects read this file again without the cache: carry the
# folder through the environment.
if(NOT NORVANE_CROSS_ROOT)
  if(DEFINED ENV{NORVANE_CROSS_ROOT})
    set(NORVANE_CROSS_ROOT $ENV{NORVANE_CROSS_ROOT})
  else()
    get_filename_component(NORVANE_CROSS_ROOT
      ${CMAKE_CURRENT_LIST_DIR}/../build-cross-deps/${NORVANE_DEB_ARCH} ABSOLUTE)
  endif()
endif()
set(NORVANE_CROSS_ROOT ${NORVANE_CROSS_ROOT} CACHE PATH "Target libraries from scripts/cross-deps")
set(ENV{NORVANE_CROSS_ROOT} ${NORVANE_CROSS_ROOT})
set(_norvane_libdir ${NORVANE_CROSS_ROOT}/usr/lib/${NORVANE_TRIPLET})

set(CMAKE_FIND_ROOT_PATH /usr/${NORVANE_TRIPLET} ${NORVANE_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the target, not the host.
set(ENV{PKG_CONFIG_LIBDIR} ${_norvane_libdir}/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${NORVANE_CROSS_ROOT})

# Lean board binaries: unused functions dropped, no unwind tables (no
# exceptions on the board), no symbols exported from the programs, and
# position-dependent code with PLT calls, which on MIPS saves the $gp
# set-up of every call (about a tenth of the code). Link-time optimisation
# lets the compiler inline and drop across the files of a program: about
# 1 KiB of quellet's code, 5 KiB of tolvane's.
set(_norvane_lean "-ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -fno-unwind-tables -fvisibility=hidden -fno-pie -mplt")
set(CMAKE_C_FLAGS_INIT "${_norvane_lean}")
set(CMAKE_CXX_FLAGS_INIT "${_norvane_lean}")
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)

# ncursesw needs libtinfo resolved at link time; the folder is not the
# compiler's own sysroot. No -O1 for the linker: it sizes the symbol hash
# table for faster lookups, 272 bytes more in quellet, whose 56 names the
# dynamic linker searches only while the program starts. The folder is
# quoted: the flags reach the linker through a shell, and a checkout's path
# may hold a blank.
set(_norvane_libflags "\"-L${_norvane_libdir}\" \"-Wl,-rpath-link,${_norvane_libdir}\"")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-no-pie -Wl,--gc-sections -Wl,--as-needed ${_norvane_libflags}")
foreach(kind SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "${_norvane_libflags}")
endforeach()

# The cross linker links with --as-needed and the libraries are not in the
# guest's root, so the guest is told where they are. The emulator is named by
# its full path, and QEMU_LD_PREFIX travels in the guest's environment, so a
# test that starts a program of this build can start it the same way.
find_program(NORVANE_QEMU_PATH ${NORVANE_QEMU} NO_CMAKE_FIND_ROOT_PATH)
if(NOT NORVANE_QEMU_PATH)
  set(NORVANE_QEMU_PATH ${NORVANE_QEMU})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${NORVANE_QEMU_PATH} -L /usr/${NORVANE_TRIPLET}
  -E LD_LIBRARY_PATH=${_norvane_libdir} -E QEMU_LD_PREFIX=/usr/${NORVANE_TRIPLET})
