#!/bin/bash
# End-to-end tests of hsetup.exe under Wine.
#
#   tests/wine/run.sh [BUILD_DIR]      (default: build/ of the checkout)
#
# Runs the i686 build (the one that ships) when this machine's Wine runs
# 32-bit programs, else the x86_64 build, and says which. Needs an X
# display for windows; without DISPLAY it runs itself under xvfb-run.
# Every Wine call has a time limit: a window shown where none may appear
# (silent mode) blocks until the limit and fails the case.
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "${1:-$REPO/build}" && pwd)"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$BUILD"
fi

export WINEPREFIX="$BUILD/wine-prefix"
export WINEDEBUG=-all
# No downloads of Wine's Mono and Gecko add-ons (no prompts, no network).
export WINEDLLOVERRIDES="mscoree=;mshtml="
WORK="$BUILD/wine-work"
LIMIT=60
mkdir -p "$BUILD/logs"

# The `wine` command starts the 32-bit loader when it is installed, even
# where the kernel cannot run 32-bit programs; then the 64-bit loader is
# called directly.
WINE=wine
if ! wine --version >/dev/null 2>&1; then
  if [ -x /usr/lib/wine/wine64 ] && /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    WINE=/usr/lib/wine/wine64
  elif command -v wine64 >/dev/null && wine64 --version >/dev/null 2>&1; then
    WINE="$(command -v wine64)"
  else
    echo "wine: FAIL: no Wine loader starts on this machine" >&2
    exit 1
  fi
  export WINELOADER="$WINE"
  echo "wine: the 32-bit Wine loader does not start here; using $WINE"
fi

failures=0
pass() { echo "wine: ok: $*"; }
fail() {
  echo "wine: FAIL: $*" >&2
  failures=$((failures + 1))
}

# --- The prefix, made once ----------------------------------------------------
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: creating the prefix $WINEPREFIX (takes a minute)"
  if ! timeout 600 "$WINE" wineboot.exe -i >"$BUILD/logs/wineboot.log" 2>&1; then
    echo "wine: FAIL: wineboot -i did not finish (log: $BUILD/logs/wineboot.log)" >&2
    exit 1
  fi
  timeout 120 wineserver -w || true
fi

rm -rf "$WORK"
mkdir -p "$WORK"

# run_wine LIMIT EXE ARGS...: runs under Wine; prints the exit status
# (124 when the time limit was reached).
run_wine() {
  local limit="$1"
  shift
  timeout "$limit" "$WINE" "$@" >>"$BUILD/logs/wine-run.log" 2>&1
  echo $?
}

# --- Which build this Wine can run ---------------------------------------------
ARCH=""
for arch in i686 x86_64; do
  triple="$arch-w64-mingw32"
  exe="$BUILD/win-$arch/src/platform/win32/hsetup.exe"
  [ -f "$exe" ] || continue
  "$triple-gcc" -O2 -mwindows -o "$WORK/probe-$arch.exe" "$HERE/probe.c" || continue
  if [ "$(run_wine "$LIMIT" "$WORK/probe-$arch.exe")" = 42 ]; then
    ARCH="$arch"
    break
  fi
  echo "wine: this Wine does not run $arch programs"
done
if [ -z "$ARCH" ]; then
  echo "wine: FAIL: Wine runs neither the i686 nor the x86_64 build" >&2
  exit 1
fi
TRIPLE="$ARCH-w64-mingw32"
echo "wine: testing the $ARCH build ($("$WINE" --version 2>/dev/null))"
[ "$ARCH" = i686 ] || echo "wine: NOTE: 32-bit Wine does not work here; the shipped i686 build is not run"

# Each case in its own folder: a copy of hsetup.exe with nothing beside it.
SOURCE_EXE="$BUILD/win-$ARCH/src/platform/win32/hsetup.exe"
fresh_copy() {
  local dir="$WORK/$1"
  mkdir -p "$dir"
  cp "$SOURCE_EXE" "$dir/hsetup.exe"
  echo "$dir/hsetup.exe"
}

# --- Exit codes and silence -------------------------------------------------------
# arguments | expected exit code as Wine reports it (the low 8 bits) | what
CASES=(
  "/silent /x|15|an unknown switch is a usage error, shown to nobody"
  "/silent /a /x|15|a usage error with /a as well"
  "/silent|255|no package: the fatal-error path (-1) without a message box"
)
for entry in "${CASES[@]}"; do
  IFS='|' read -r args expected what <<<"$entry"
  exe="$(fresh_copy case)"
  # shellcheck disable=SC2086 # the arguments are split on purpose
  got="$(run_wine "$LIMIT" "$exe" $args)"
  if [ "$got" = "$expected" ]; then
    pass "hsetup.exe $args -> $got ($what)"
  elif [ "$got" = 124 ]; then
    fail "hsetup.exe $args did not end within ${LIMIT}s: it showed a window or hung ($what)"
  else
    fail "hsetup.exe $args -> $got, expected $expected ($what)"
  fi
  timeout 60 wineserver -k >/dev/null 2>&1 || true
done

# --- No DLL planted beside the installer is loaded ---------------------------------
PLANTED=(comctl32 msimg32 winmm wintrust srclient setupapi msi dbghelp riched20 version
  uxtheme dwmapi userenv cryptbase propsys profapi)
dir="$WORK/planted"
exe="$(fresh_copy planted)"
for name in "${PLANTED[@]}"; do
  "$TRIPLE-gcc" -O2 -shared -static-libgcc -o "$dir/$name.dll" "$HERE/planted_dll.c" || {
    fail "could not build the planted $name.dll"
  }
done
"$TRIPLE-gcc" -O2 -municode -mwindows -o "$dir/naive_loader.exe" "$HERE/naive_loader.c" || fail "could not build naive_loader.exe"

# Wine prefers its own built-in copy of many system libraries, which would
# hide a planted file; native-first for these names makes Wine's loader take
# whatever file its search finds first, as Windows does. Not for version.dll:
# Wine's own advapi32 imports it while the process is being loaded, and with
# native-first Wine looks for it beside the program, where Windows takes the
# dependencies of a KnownDLL from the system folder.
NATIVE_FIRST_NAMES=()
for name in "${PLANTED[@]}"; do [ "$name" = version ] || NATIVE_FIRST_NAMES+=("$name"); done
NATIVE_FIRST="$(IFS=,; echo "${NATIVE_FIRST_NAMES[*]}")=n,b"
export WINEDLLOVERRIDES="mscoree=;mshtml=;$NATIVE_FIRST"
for args in "/silent" "/silent /x"; do
  # Started from its own folder, as from a downloads folder: the current
  # folder is searched by a careless loader too.
  # shellcheck disable=SC2086
  (cd "$dir" && run_wine "$LIMIT" "$exe" $args >/dev/null)
  timeout 60 wineserver -w >/dev/null 2>&1 || true
done
markers="$(cd "$dir" && ls -- *.loaded 2>/dev/null | tr '\n' ' ')"
if [ -n "$markers" ]; then
  fail "hsetup.exe loaded DLLs planted beside it: $markers"
else
  pass "hsetup.exe loaded none of the ${#PLANTED[@]} DLLs planted beside it"
fi

# The control: a program that loads the same names the plain way must pick
# up the planted copies here, or the check above proves nothing.
rm -f "$dir"/*.loaded
(cd "$dir" && run_wine "$LIMIT" "$dir/naive_loader.exe" "${PLANTED[@]/%/.dll}" >/dev/null)
timeout 60 wineserver -w >/dev/null 2>&1 || true
control="$(cd "$dir" && ls -- *.loaded 2>/dev/null | wc -l)"
if [ "$control" -eq "${#PLANTED[@]}" ]; then
  pass "control: a plain LoadLibraryW took all $control planted DLLs from the program's folder"
elif [ "$control" -gt 0 ]; then
  pass "control: a plain LoadLibraryW took $control of ${#PLANTED[@]} planted DLLs from the program's folder"
else
  fail "control: a plain LoadLibraryW loaded no planted DLL, so the planted-DLL check cannot see a fault"
fi

export WINEDLLOVERRIDES="mscoree=;mshtml="
timeout 60 wineserver -k >/dev/null 2>&1 || true
if [ "$failures" -gt 0 ]; then
  echo "wine: $failures case(s) failed ($ARCH build)"
  exit 1
fi
echo "wine: all cases passed ($ARCH build)"
