#!/bin/bash
# End-to-end tests of deferred deletion under Wine, with Wine's own
# registry, its restart (wineboot -r) and its command interpreter.
#
#   tests/wine/records_run.sh [BUILD_DIR]    (default: build/ of the checkout)
#
# Needs the Windows build of the engine library in BUILD_DIR/win-<arch>
# (scripts/setup.sh, or cmake with cmake/toolchain-<triple>.cmake) and the
# MinGW liblzma in BUILD_DIR/deps/<triple> (or HS_LZMA_PREFIX). Builds
# records_driver.exe against it and runs it in a prefix of its own.
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "${1:-$REPO/build}" && pwd)"

export WINEPREFIX="$BUILD/wine-prefix-records"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
WORK="$BUILD/wine-work-records"
LIMIT=120
mkdir -p "$BUILD/logs"
LOG="$BUILD/logs/records-wine.log"

WINE=wine
if ! wine --version >/dev/null 2>&1; then
  if [ -x /usr/lib/wine/wine64 ] && /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    WINE=/usr/lib/wine/wine64
  else
    echo "records-wine: FAIL: no Wine loader starts on this machine" >&2
    exit 1
  fi
  export WINELOADER="$WINE"
fi

failures=0
pass() { echo "records-wine: ok: $*"; }
fail() {
  echo "records-wine: FAIL: $*" >&2
  failures=$((failures + 1))
}
wine_run() { timeout "$LIMIT" "$WINE" "$@" >>"$LOG" 2>&1; }
# Wine carries out the pending renames whenever its server starts afresh,
# as a Windows start would; one persistent server keeps the whole run in
# one "boot", so that only wineboot -r restarts.
keep_server() {
  timeout 60 wineserver -k >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1
}

# --- The driver, for the architecture this Wine runs -------------------------
ARCH=""
for arch in i686 x86_64; do
  [ -f "$BUILD/win-$arch/libhs_core.a" ] || continue
  [ "$arch" = i686 ] && ! wine --version >/dev/null 2>&1 && continue
  ARCH="$arch"
  break
done
if [ -z "$ARCH" ]; then
  echo "records-wine: FAIL: no Windows build of hs_core in $BUILD/win-<arch> that this Wine runs" >&2
  exit 1
fi
TRIPLE="$ARCH-w64-mingw32"
LZMA="${HS_LZMA_PREFIX:-$BUILD/deps/$TRIPLE}"
rm -rf "$WORK"
mkdir -p "$WORK"
DRIVER="$WORK/records_driver.exe"
if ! "$TRIPLE-g++" -std=c++20 -O2 -municode -static -I"$REPO/src" -o "$DRIVER" "$HERE/records_driver.cpp" \
  "$BUILD/win-$ARCH/src/platform/win32/libhs_platform_win32.a" "$BUILD/win-$ARCH/libhs_core.a" \
  "$LZMA/lib/liblzma.a" -lz -lole32 -loleaut32 -lshell32 -ladvapi32 -luser32 -lgdi32 -lkernel32 >>"$LOG" 2>&1; then
  echo "records-wine: FAIL: could not build records_driver.exe (log: $LOG)" >&2
  exit 1
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "records-wine: creating the prefix $WINEPREFIX"
  timeout 600 "$WINE" wineboot.exe -i >>"$LOG" 2>&1 || { echo "records-wine: FAIL: wineboot -i" >&2; exit 1; }
fi
keep_server
C="$WINEPREFIX/drive_c"
rm -rf "$C/records"
mkdir -p "$C/records"
cp "$DRIVER" "$C/records/driver.exe"

# Wine's own view of the list, through its reg.exe.
pending() {
  timeout "$LIMIT" "$WINE" reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations 2>/dev/null | tr -d '\r'
}

# --- Replacement at the next start ------------------------------------------------
printf 'old' >"$C/records/target.txt"
printf 'new' >"$C/records/new.tmp"
printf 'doomed' >"$C/records/doomed.txt"
printf 'kept' >"$C/records/kept.txt"
wine_run "$C/records/driver.exe" replace 'C:\records\new.tmp' 'C:\records\target.txt'
status=$?
[ "$status" = 0 ] && pass "replacement scheduled" || fail "replacement not scheduled (exit $status)"
wine_run "$C/records/driver.exe" delete 'C:\records\doomed.txt' || fail "deletion not scheduled"
wine_run "$C/records/driver.exe" delete 'C:\records\kept.txt' || fail "deletion of kept.txt not scheduled"
# The uninstaller's cleanup takes kept.txt out of the list again.
wine_run "$C/records/driver.exe" cleanup 'c:\RECORDS\Kept.txt' || fail "cleanup failed"
list="$(pending)"
echo "$list" >>"$LOG"
if grep -qi 'records\\new.tmp' <<<"$list" && grep -qi 'records\\target.txt' <<<"$list" &&
  grep -qi 'records\\doomed.txt' <<<"$list"; then
  pass "Wine's PendingFileRenameOperations holds the replacement and the deletion"
else
  fail "Wine's PendingFileRenameOperations lacks the scheduled entries: $list"
fi
if grep -qi 'kept.txt' <<<"$list"; then
  fail "the withdrawn deletion of kept.txt is still listed: $list"
else
  pass "the cleanup withdrew the deletion of kept.txt"
fi
[ "$(cat "$C/records/target.txt")" = old ] || fail "target.txt changed before the restart"

timeout "$LIMIT" "$WINE" wineboot.exe -r >>"$LOG" 2>&1
if [ "$(cat "$C/records/target.txt" 2>/dev/null)" = new ] && [ ! -e "$C/records/new.tmp" ]; then
  pass "after wineboot -r target.txt holds the new bytes and the temporary file is gone"
else
  fail "after wineboot -r target.txt is '$(cat "$C/records/target.txt" 2>/dev/null)', new.tmp $( [ -e "$C/records/new.tmp" ] && echo exists || echo gone)"
fi
[ ! -e "$C/records/doomed.txt" ] && pass "after wineboot -r doomed.txt is deleted" || fail "doomed.txt survived the restart"
[ -e "$C/records/kept.txt" ] && pass "after wineboot -r kept.txt is still there" || fail "kept.txt was deleted"

# --- The self-deletion batch run by Wine's cmd --------------------------------------
rm -rf "$C/Product"
mkdir -p "$C/Product/uninst/data"
cp "$DRIVER" "$C/Product/uninst/data/uninstall.exe"
wine_run "$C/Product/uninst/data/uninstall.exe" selfdelete 'C:\Product' 'uninst\data'
status=$?
[ "$status" = 0 ] && pass "delunins.bat started" || fail "delunins.bat not started (exit $status)"
# The batch runs hidden after the program has ended; wait for it.
for _ in $(seq 1 60); do
  [ -e "$C/Product" ] || break
  sleep 1
done
if [ ! -e "$C/Product" ]; then
  pass "delunins.bat deleted the program after it ended and removed the emptied folders"
else
  fail "delunins.bat left $(cd "$C" && find Product | tr '\n' ' ')"
fi
if find "$C/users" -iname delunins.bat 2>/dev/null | grep -q .; then
  fail "delunins.bat did not delete itself"
else
  pass "delunins.bat deleted itself"
fi

timeout 60 wineserver -k >/dev/null 2>&1 || true
if [ "$failures" -gt 0 ]; then
  echo "records-wine: $failures case(s) failed ($ARCH build; log: $LOG)"
  exit 1
fi
echo "records-wine: all cases passed ($ARCH build)"
