# Shared by the README's commands: install what is missing, configure, build.
# shellcheck shell=bash

NORVANE_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$NORVANE_TOP/build}

# Debian packages the host build, the tests and the simulated board need.
NORVANE_PACKAGES=(cmake ninja-build g++ clang pkg-config libncurses-dev libgtest-dev
  libvterm-dev ncurses-base net-tools iproute2 gawk grep e2fsprogs
  python3 python3-pyipmi freeipmi-tools)

norvane_install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing Debian packages. Run:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

norvane_build() {
  cmake -S "$NORVANE_TOP" -B "$BUILD_DIR" -G Ninja "$@" >/dev/null
  cmake --build "$BUILD_DIR"
}
