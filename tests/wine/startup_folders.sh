#!/bin/bash
# Folder variables expanded by the engine's own code on Wine's real API,
# compared with what Wine itself says: its command interpreter's
# environment and its registry.
#
#   tests/wine/startup_folders.sh WIN_BUILD_DIR [WORK_BUILD_DIR]
#
# WIN_BUILD_DIR is a MinGW build of the engine (libhs_core.a and
# src/platform/win32/libhs_platform_win32.a); the probe is built for the
# same architecture. WORK_BUILD_DIR holds the Wine prefix (default: the
# same folder).
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"
WIN_BUILD="$(cd "${1:?WIN_BUILD_DIR}" && pwd)"
BUILD="$(cd "${2:-$WIN_BUILD}" && pwd)"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$WIN_BUILD" "$BUILD"
fi

# shellcheck source=tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
use_wine_prefix startup-folders

TRIPLE="$(grep -m1 '^CMAKE_CXX_COMPILER_AR:' "$WIN_BUILD/CMakeCache.txt" | sed 's/.*\/\([^/]*\)-gcc-ar.*/\1/')"
LZMA="$(grep -m1 '^LIBLZMA_LIBRARY' "$WIN_BUILD/CMakeCache.txt" | cut -d= -f2)"
"$TRIPLE-g++" -std=c++20 -O1 -municode -static -I"$REPO/src" -o "$WORK/probe.exe" "$HERE/startup_folders_probe.cpp" \
  "$WIN_BUILD/src/platform/win32/libhs_platform_win32.a" "$WIN_BUILD/libhs_core.a" "$LZMA" -lz \
  -lkernel32 -luser32 -lgdi32 -ladvapi32 -lshell32 -lole32 -loleaut32 || { echo "wine: FAIL: probe does not build" >&2; exit 1; }

timeout "$LIMIT" "$WINE" "$WORK/probe.exe" 2>>"$BUILD/logs/wine-run.log" | tr -d '\r' >"$WORK/variables.txt"
ENV_LINE="$(timeout "$LIMIT" "$WINE" cmd /c 'echo %APPDATA%^|%ProgramData%^|%ProgramFiles%^|%CommonProgramFiles%^|%ProgramW6432%^|%windir%^|%TEMP%' 2>>"$BUILD/logs/wine-run.log" | tr -d '\r' | tail -1)"
DESKTOP="$(timeout "$LIMIT" "$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Desktop 2>>"$BUILD/logs/wine-run.log" | tr -d '\r' | awk -F'REG_SZ' '/Desktop/ {sub(/^[ \t]+/, "", $2); print $2}')"
timeout 60 wineserver -k >/dev/null 2>&1 || true

IFS='|' read -r APPDATA PROGRAMDATA PROGRAMFILES COMMONFILES PROGRAMW6432 WINDIR TEMPDIR <<<"$ENV_LINE"
value() { grep -m1 "^$1=" "$WORK/variables.txt" | cut -d= -f2-; }

failures=0
same() {  # same VARIABLE EXPECTED: compared without regard to case
  local got
  got="$(value "$1")"
  if [ -n "$2" ] && [ "${got,,}" = "${2,,}" ]; then
    echo "wine: ok: %$1% = $got"
  else
    echo "wine: FAIL: %$1% = '$got', Wine says '$2'" >&2
    failures=$((failures + 1))
  fi
}
same AppDataDir "$APPDATA"
same AppDataAllDir "$PROGRAMDATA"
same ProgramsDir32 "$PROGRAMFILES"
same CommonDir32 "$COMMONFILES"
same ProgramsDir64 "$PROGRAMW6432"
same WinDir "$WINDIR"
same SystemDir "$WINDIR\\system32"
same Temp "$TEMPDIR"
same DesktopDir "$DESKTOP"
case "$(value OSDescription)" in
  "WINE "*" reporting as Windows "*) echo "wine: ok: %OSDescription% = $(value OSDescription)" ;;
  *) echo "wine: FAIL: %OSDescription% = '$(value OSDescription)' does not name Wine" >&2; failures=$((failures + 1)) ;;
esac

[ "$failures" -eq 0 ] && echo "wine: startup folder cases passed ($TRIPLE)" || exit 1
