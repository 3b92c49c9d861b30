# Shared by the README's commands: install what is missing, configure, build.
# shellcheck shell=bash

NORVANE_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$NORVANE_TOP/build}

# Debian packages the programs and the board-tree builder need (the demo):
# the compiler, ncursesw, its terminal types, and route for the Network
# page's gateway.
NORVANE_DEMO_PACKAGES=(cmake ninja-build g++ pkg-config libncurses-dev ncurses-base net-tools)
# ... and what the tests add: GoogleTest, the screen harness's terminal
# (libvterm), network namespaces, chattr, and the FRU decoders the output
# is checked against. The fuzz gate brings its own clang.
NORVANE_PACKAGES=("${NORVANE_DEMO_PACKAGES[@]}" libgtest-dev libvterm-dev iproute2 e2fsprogs
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

# Everything, tests included.
norvane_build() {
  cmake -S "$NORVANE_TOP" -B "$BUILD_DIR" -G Ninja -DNORVANE_TESTS=ON "$@" >/dev/null
  cmake --build "$BUILD_DIR"
}

# The programs and the board-tree builder alone. A fresh folder is set up
# without the tests (GoogleTest may be missing); one the tests use keeps them.
norvane_build_programs() {
  local args=()
  [ -f "$BUILD_DIR/CMakeCache.txt" ] || args=(-DNORVANE_TESTS=OFF)
  cmake -S "$NORVANE_TOP" -B "$BUILD_DIR" -G Ninja "${args[@]}" >/dev/null
  cmake --build "$BUILD_DIR" --target tolvane quellet sarvik sim-board-tree
}

# The Debian 12 archive named by the machine's own apt sources (a mirror set
# up on the machine is used as it is). NORVANE_DEBIAN_MIRROR overrides it.
norvane_debian_archive() {
  if [ -n "${NORVANE_DEBIAN_MIRROR:-}" ]; then
    echo "$NORVANE_DEBIAN_MIRROR"
    return 0
  fi
  local uri
  # Suite or codename bookworm, binary packages: never the security archive,
  # which carries no mipsel.
  uri=$(env -u APT_CONFIG apt-get indextargets \
          --format '$(REPO_URI) $(TARGET_OF) $(RELEASE) $(CODENAME)' 2>/dev/null |
        awk '$2 == "deb" && ($3 == "bookworm" || $4 == "bookworm") { print $1; exit }')
  if [ -z "$uri" ]; then
    echo "No Debian 12 (bookworm) archive in this machine's apt sources;" \
         "set NORVANE_DEBIAN_MIRROR to one." >&2
    return 1
  fi
  echo "${uri%/}"
}

# A private apt configuration in FOLDER for Debian 12's packages of ARCH
# (and, with "source", its source packages): lists, cache and an empty
# status of its own, so nothing is installed and the system's sources are
# left alone. Prints the configuration file for APT_CONFIG.
#   norvane_private_apt FOLDER ARCH [source]
norvane_private_apt() {
  local dir=$1 arch=$2 src=${3:-} mirror
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  mirror=$(norvane_debian_archive) || return 1
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/parts"
  : >"$dir/status"
  echo "deb [arch=$arch signed-by=$keyring] $mirror bookworm main" >"$dir/sources.list"
  [ "$src" = source ] &&
    echo "deb-src [signed-by=$keyring] $mirror bookworm main" >>"$dir/sources.list"
  cat >"$dir/apt.conf" <<CONF
Dir::State "$dir";
Dir::State::Lists "$dir/lists";
Dir::State::status "$dir/status";
Dir::Cache "$dir/cache";
Dir::Etc::SourceList "$dir/sources.list";
Dir::Etc::SourceParts "$dir/parts";
Dir::Etc::Preferences "$dir/none";
Dir::Etc::PreferencesParts "$dir/parts";
APT::Architecture "amd64";
APT::Architectures { "amd64"; "$arch"; };
APT::Sandbox::User "root";
Acquire::Languages "none";
CONF
  echo "$dir/apt.conf"
}
