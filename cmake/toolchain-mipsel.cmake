# Little-endian 32-bit MIPS Linux, Debian's g++-mipsel-linux-gnu. Target
# libraries (ncursesw, GoogleTest) come from scripts/cross-deps mipsel; tests
# run under qemu-mipsel.
set(NORVANE_TRIPLET mipsel-linux-gnu)
set(NORVANE_QEMU qemu-mipsel)
set(NORVANE_DEB_ARCH mipsel)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mips.cmake)
