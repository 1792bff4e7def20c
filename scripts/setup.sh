#!/bin/bash
# Prepares a Debian 12 machine for Halvorend Setup and builds every target.
#
#   scripts/setup.sh
#
# Idempotent: installs with apt only what is missing, adds Debian's source
# index once, builds liblzma for the two Windows targets only when it is not
# built yet, and then configures and builds:
#   build/host        hs_core, hpack, hsetup-sim and the tests (RelWithDebInfo)
#   build/win-i686    hsetup.exe for 32-bit Windows (the engine that ships)
#   build/win-x86_64  hsetup.exe for 64-bit Windows
# (each Windows build also makes the test program page_shots.exe).
# HS_BUILD_DIR puts the build folders elsewhere (default: build/ in the
# checkout); HS_JOBS sets the parallel jobs (default 2).
# Needs root for apt (uses sudo when not root). Output of every step goes to
# build/logs/<step>.log; a failing step prints the end of its log and stops.
set -euo pipefail

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${HS_BUILD_DIR:-$REPO/build}"
LOGS="$BUILD/logs"
DEPS="$BUILD/deps"
JOBS="${HS_JOBS:-2}"
mkdir -p "$LOGS" "$DEPS"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

SETUP_START=$SECONDS

say() { echo "setup: $*"; }

# run_logged NAME COMMAND...: runs quietly into build/logs/NAME.log; on
# failure shows the end of the log and stops the script.
run_logged() {
  local name="$1"
  shift
  local start=$SECONDS status
  # A subshell of its own so that `set -e` holds inside the step's functions.
  set +e
  (
    set -e
    "$@"
  ) >"$LOGS/$name.log" 2>&1
  status=$?
  set -e
  if [ "$status" -ne 0 ]; then
    echo "setup: FAILED: $name (log: $LOGS/$name.log)" >&2
    tail -n 40 "$LOGS/$name.log" >&2
    exit 1
  fi
  say "$name done in $((SECONDS - start)) s"
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

APT_UPDATED=0
apt_update() {
  if [ "$APT_UPDATED" = 0 ]; then
    # The i386 security index may lag behind amd64; apt then reports an
    # error although the rest of the index is usable.
    $SUDO apt-get update >>"$LOGS/apt-update.log" 2>&1 || say "apt-get update reported errors (ignored; see $LOGS/apt-update.log)"
    APT_UPDATED=1
  fi
}

apt_install() {
  $SUDO apt-get install -y --no-install-recommends "$@"
}

# --- 1. Build tools and libraries --------------------------------------------
PACKAGES=(
  g++ make cmake ninja-build pkg-config file binutils xz-utils dpkg-dev
  googletest libgtest-dev libgmock-dev
  liblzma-dev zlib1g-dev libtomlplusplus-dev libcli11-dev
  clang-14 libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  xvfb xauth
  fonts-wine fonts-wqy-microhei netpbm
)
MISSING=()
for p in "${PACKAGES[@]}"; do installed "$p" || MISSING+=("$p"); done
if [ ${#MISSING[@]} -gt 0 ]; then
  say "installing ${MISSING[*]}"
  apt_update
  run_logged apt-tools apt_install "${MISSING[@]}"
else
  say "build tools already installed"
fi

# --- 2. Wine, 32-bit if at all possible ---------------------------------------
wine_installed() { installed wine && installed wine64 && installed wine32:i386; }

install_wine() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    APT_UPDATED=0
  fi
  apt_update
  if apt_install wine wine64 wine32:i386; then return 0; fi
  # Fallback: take the point release's versions for both architectures, so
  # that i386 and amd64 packages agree while the security index lags.
  echo "plain install failed; pinning the security suite down" >&2
  local pin=/etc/apt/preferences.d/halvorend-security-pin
  if [ ! -f "$pin" ]; then
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $SUDO tee "$pin" >/dev/null
  fi
  if apt_install libgstreamer-plugins-base1.0-0:i386 && apt_install wine wine64 wine32:i386; then return 0; fi
  echo "32-bit Wine could not be installed; installing 64-bit Wine only" >&2
  apt_install wine wine64
}

if wine_installed; then
  say "wine already installed"
else
  run_logged apt-wine install_wine
fi
installed wine64 || { echo "setup: FAILED: Wine is not installed (log: $LOGS/apt-wine.log)" >&2; exit 1; }

# --- 3. liblzma for the Windows targets, from Debian's xz-utils source --------
has_deb_src() {
  grep -rqsE '^Types:.*deb-src' /etc/apt/sources.list.d/ 2>/dev/null ||
    grep -qsE '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
}

fetch_xz_source() {
  if ! has_deb_src; then
    printf '%s\n' \
      'Types: deb-src' \
      'URIs: http://deb.debian.org/debian' \
      'Suites: bookworm bookworm-updates' \
      'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $SUDO tee /etc/apt/sources.list.d/halvorend-deb-src.sources >/dev/null
    APT_UPDATED=0
  fi
  apt_update
  rm -rf "$DEPS/src"
  mkdir -p "$DEPS/src"
  cd "$DEPS/src"
  apt-get source xz-utils
}

build_lzma() {
  local triple="$1"
  local src
  src="$(find "$DEPS/src" -maxdepth 1 -mindepth 1 -type d -name 'xz-utils-*' | head -n 1)"
  [ -n "$src" ] || { echo "xz-utils source not found under $DEPS/src"; return 1; }
  rm -rf "$DEPS/build-$triple" "$DEPS/$triple"
  mkdir -p "$DEPS/build-$triple"
  cd "$DEPS/build-$triple"  # inside the step's own subshell
  # No debug data: the shipped executable is stripped anyway.
  CFLAGS="-O2" "$src/configure" --host="$triple" --prefix="$DEPS/$triple" \
    --disable-shared --enable-static --disable-xz --disable-xzdec --disable-lzmadec \
    --disable-lzmainfo --disable-scripts --disable-doc --disable-nls --disable-lzma-links
  make -j"$JOBS"
  make install
}

TRIPLES=(i686-w64-mingw32 x86_64-w64-mingw32)
need_lzma=0
for t in "${TRIPLES[@]}"; do [ -f "$DEPS/$t/lib/liblzma.a" ] || need_lzma=1; done
if [ "$need_lzma" = 1 ]; then
  if ! find "$DEPS/src" -maxdepth 1 -type d -name 'xz-utils-*' 2>/dev/null | grep -q .; then
    run_logged xz-source fetch_xz_source
  fi
  for t in "${TRIPLES[@]}"; do
    [ -f "$DEPS/$t/lib/liblzma.a" ] || run_logged "liblzma-$t" build_lzma "$t"
  done
else
  say "liblzma for Windows already built"
fi

# --- 4. Configure and build every target --------------------------------------
configure_and_build() {
  local dir="$1"
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$REPO" -B "$dir" "$@"
  else
    cmake "$dir"  # picks up new source files
  fi
  cmake --build "$dir" -j"$JOBS"
}

run_logged build-host configure_and_build "$BUILD/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo
for t in "${TRIPLES[@]}"; do
  arch="${t%%-*}"
  run_logged "build-win-$arch" configure_and_build "$BUILD/win-$arch" \
    -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/toolchain-$t.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DHS_LZMA_PREFIX="$DEPS/$t"
done

say "hsetup.exe (i686):   $BUILD/win-i686/src/platform/win32/hsetup.exe"
say "hsetup.exe (x86_64): $BUILD/win-x86_64/src/platform/win32/hsetup.exe"
say "finished in $((SECONDS - SETUP_START)) s"
