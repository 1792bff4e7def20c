#!/bin/bash
# Checks of the engine's own code under Wine, with engine_driver.exe and the
# real hsetup.exe:
#
#   tests/wine/engine_checks.sh [BUILD_DIR] [HPACK]
#
# - the i686 engine (and the i686 driver) is linked large-address-aware;
# - a package with one entry of 600 MB of zeros is read whole through the
#   engine's payload reader (the 32-bit engine must not take a shortage of
#   room twice that size for damage). The driver is built for i686 and
#   x86_64; the i686 one runs where Wine's 32-bit loader starts, else the
#   x86_64 one does, and the output says which and why;
# - Wine is recognised by its wine_get_version, and a NULL from it is not
#   taken for Wine;
# - an installer whose path is 300 characters long opens itself (the
#   engine reads its path into 1024 characters) and hands over to the
#   installation run (exit code 0).
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "${1:-$REPO/build}" && pwd)"
HPACK="${2:-$BUILD/host/tools/hpack}"

# shellcheck source=tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
use_wine_prefix engine-checks
use_engine_build
[ -x "$HPACK" ] || { echo "engine-checks: FAIL: hpack not found at $HPACK" >&2; exit 1; }
LOG="$BUILD/logs/engine-checks.log"
: >"$LOG"

failures=0
pass() { echo "engine-checks: ok: $*"; }
fail() {
  echo "engine-checks: FAIL: $*" >&2
  failures=$((failures + 1))
}

# --- The driver, for both architectures -------------------------------------------
build_driver() {  # build_driver ARCH: WORK/engine_driver-ARCH.exe
  local arch="$1" triple="$1-w64-mingw32" extra=""
  local lzma="${HS_LZMA_PREFIX:-$BUILD/deps/$triple}"
  [ "$arch" = i686 ] && extra="-Wl,--large-address-aware"
  [ -f "$BUILD/win-$arch/libhs_core.a" ] || { echo "no $BUILD/win-$arch/libhs_core.a" >>"$LOG"; return 1; }
  "$triple-g++" -std=c++20 -O2 -municode -static $extra -I"$REPO/src" -o "$WORK/engine_driver-$arch.exe" \
    "$HERE/engine_driver.cpp" "$BUILD/win-$arch/src/platform/win32/libhs_platform_win32.a" \
    "$BUILD/win-$arch/libhs_core.a" "$lzma/lib/liblzma.a" -lz -lole32 -loleaut32 -lshell32 -ladvapi32 \
    -luser32 -lgdi32 -lkernel32 >>"$LOG" 2>&1
}
if build_driver i686; then
  pass "engine_driver.exe built for i686"
else
  fail "engine_driver.exe could not be built for i686 (log: $LOG)"
fi
build_driver x86_64 || echo "engine-checks: no x86_64 driver (log: $LOG)"

# The i686 driver where Wine's 32-bit loader starts, else the x86_64 one.
DRIVER=""
if [ -f "$WORK/engine_driver-i686.exe" ]; then
  i686-w64-mingw32-gcc -O2 -mwindows -o "$WORK/probe-i686.exe" "$HERE/probe.c" >>"$LOG" 2>&1
  probe_out="$(timeout "$LIMIT" "$WINE" "$WORK/probe-i686.exe" 2>&1)"
  probe_status=$?
  if [ "$probe_status" = 42 ]; then
    DRIVER="$WORK/engine_driver-i686.exe"
    echo "engine-checks: running the i686 driver under Wine's 32-bit loader"
  else
    why="$(printf '%s' "$probe_out" | grep -m1 -i 'error\|cannot\|exec' || true)"
    echo "engine-checks: the i686 driver does not run here: Wine's 32-bit loader does not start" \
      "(probe exit $probe_status${why:+: $why}); running the x86_64 build of the same driver instead"
  fi
fi
if [ -z "$DRIVER" ] && [ -f "$WORK/engine_driver-x86_64.exe" ]; then
  DRIVER="$WORK/engine_driver-x86_64.exe"
  [ -f "$WORK/engine_driver-i686.exe" ] || echo "engine-checks: running the x86_64 driver (no i686 driver)"
fi
[ -n "$DRIVER" ] || { echo "engine-checks: FAIL: no driver to run" >&2; exit 1; }

# --- Large-address-aware i686 builds ----------------------------------------------------
# The MinGW objdump: the host's own one does not read PE headers.
# The headers are read whole first: grep -q would end the pipe early, and
# pipefail would count objdump's broken pipe as a failure.
laa() {
  local headers
  headers="$(i686-w64-mingw32-objdump -p "$1" 2>/dev/null)" || return 1
  grep -qi 'large address aware' <<<"$headers"
}
I686_ENGINE="${HSETUP_I686:-$BUILD/win-i686/src/platform/win32/hsetup.exe}"
if [ -f "$I686_ENGINE" ]; then
  laa "$I686_ENGINE" && pass "the i686 hsetup.exe is large-address-aware" ||
    fail "the i686 hsetup.exe is not large-address-aware"
else
  fail "no i686 hsetup.exe at $I686_ENGINE"
fi
if [ -f "$WORK/engine_driver-i686.exe" ]; then
  laa "$WORK/engine_driver-i686.exe" && pass "the i686 driver is large-address-aware" ||
    fail "the i686 driver is not large-address-aware"
fi

# --- One entry of 600 MB ------------------------------------------------------------
mkdir -p "$WORK/big"
truncate -s 600M "$WORK/big/zeros.bin"
cat >"$WORK/big.toml" <<TOML
[product]
name = "Large Entry"
version = "1.0"

[[files]]
source = "big/zeros.bin"
TOML
if "$HPACK" build "$WORK/big.toml" --stub "$STUB" -o "$WORK/big.exe" >>"$LOG" 2>&1; then
  rm -f "$WORK/big/zeros.bin"
  # The Windows path through drive Z: (winepath itself needs the loader
  # that may not start here).
  big_path="Z:$(printf '%s' "$WORK/big.exe" | tr / '\\')"
  out="$(timeout 600 "$WINE" "$DRIVER" payload "$big_path" 2>>"$LOG" | tr -d '\r')"
  status=$?
  echo "$out" >>"$LOG"
  printf '%s\n' "$out" | sed 's/^/engine-checks:   /'
  if [ "$status" = 0 ] && grep -q "the largest 629145600 bytes" <<<"$out"; then
    pass "the entry of 600 MB was read whole through the payload reader ($(basename "$DRIVER"))"
  else
    fail "reading the entry of 600 MB ended with $status ($(basename "$DRIVER"))"
  fi
else
  fail "hpack could not build the installer with the 600 MB entry (log: $LOG)"
fi
rm -f "$WORK/big/zeros.bin"

# --- Wine detection ----------------------------------------------------------------------
out="$(timeout "$LIMIT" "$WINE" "$DRIVER" wine 2>>"$LOG" | tr -d '\r')"
status=$?
echo "$out" >>"$LOG"
[ "$status" = 0 ] && pass "Wine is detected by a wine_get_version that gives a version, not by a NULL" ||
  fail "Wine detection: $out"

# --- A long own path ---------------------------------------------------------------------
printf 'x\r\n' >"$WORK/readme.txt"
cat >"$WORK/small.toml" <<TOML
[product]
name = "Long Path"
version = "1.0"

[[files]]
source = "readme.txt"
TOML
if "$HPACK" build "$WORK/small.toml" --stub "$STUB" -o "$WORK/small.exe" >>"$LOG" 2>&1; then
  # C:\long\ and folders of 60 characters up to a path of 300 characters.
  C="$WINEPREFIX/drive_c"
  rm -rf "$C/long"
  folder="$C/long"
  windows='C:\long'
  name="$(printf 'f%.0s' $(seq 1 59))"
  while [ $(( ${#windows} + 61 + 10 )) -le 300 ]; do
    folder="$folder/$name"
    windows="$windows\\$name"
  done
  pad=$(( 300 - ${#windows} - 1 - 4 ))
  exe_name="$(printf 's%.0s' $(seq 1 "$pad")).exe"
  mkdir -p "$folder"
  cp "$WORK/small.exe" "$folder/$exe_name"
  windows_path="$windows\\$exe_name"
  timeout "$LIMIT" "$WINE" "$windows_path" /silent >>"$LOG" 2>&1
  status=$?
  [ "$status" = 0 ] && pass "an installer with a path of ${#windows_path} characters opened itself" ||
    fail "an installer with a path of ${#windows_path} characters ended with $status (255: it could not open itself)"
  rm -rf "$C/long"
else
  fail "hpack could not build the small installer (log: $LOG)"
fi

timeout 60 wineserver -k >/dev/null 2>&1 || true
if [ "$failures" -gt 0 ]; then
  echo "engine-checks: $failures check(s) failed (log: $LOG)"
  exit 1
fi
echo "engine-checks: all checks passed"
