#!/bin/bash
# Wine check: the engine finds the package that hpack attached to it.
#
#   tests/wine/package_found.sh HSETUP_EXE HPACK SETTINGS [WORK_DIR]
#
# Runs, silently, (1) the bare engine: no package, the fatal-error path
# (-1, 255 as Wine reports it); (2) the engine with a package whose
# engine bytes were changed after attaching, protection by CRC: the damage
# report (2); (3) the same package intact: anything but 255 and 2 means the
# engine found, read and checked its package. SETTINGS must choose
# protection by CRC.
set -uo pipefail
EXE=$1 HPACK=$2 SETTINGS=$3
WORK=${4:-/tmp/hs-wine-package}
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$@"; fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPREFIX="$WORK/prefix"
WINE=wine
if ! wine --version >/dev/null 2>&1; then WINE=/usr/lib/wine/wine64; export WINELOADER=$WINE; fi
mkdir -p "$WORK"
[ -f "$WINEPREFIX/system.reg" ] || timeout 600 "$WINE" wineboot.exe -i >"$WORK/wineboot.log" 2>&1
timeout 120 wineserver -w || true

printf 'hello from the package\r\n' >"$WORK/readme.txt"
printf 'readme.txt\tdate=2024-01-01 00:00:00\n' >"$WORK/files.lst"
"$HPACK" build -s "$SETTINGS" -f "$WORK/files.lst" --stub "$EXE" -o "$WORK/setup.exe" || exit 1
python3 - "$WORK/setup.exe" "$WORK/damaged.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[0x450] ^= 0xFF   # engine code, inside the protected range
open(sys.argv[2], "wb").write(data)
PY
cp "$EXE" "$WORK/bare.exe"

failures=0
run() { timeout 120 "$WINE" "$1" /silent >>"$WORK/run.log" 2>&1; echo $?; }
check() {  # name, got, test, what
  if eval "[ $2 $3 ]"; then echo "wine: ok: $1 -> $2 ($4)"; else echo "wine: FAIL: $1 -> $2 ($4)"; failures=$((failures + 1)); fi
}
check bare.exe "$(run "$WORK/bare.exe")" "= 255" "no package: fatal error"
timeout 60 wineserver -k >/dev/null 2>&1
check damaged.exe "$(run "$WORK/damaged.exe")" "= 2" "engine bytes changed: damage report"
timeout 60 wineserver -k >/dev/null 2>&1
got=$(run "$WORK/setup.exe")
check setup.exe "$got" "!= 255 -a $got != 2 -a $got != 124" "package found and verified"
timeout 60 wineserver -k >/dev/null 2>&1
exit $failures
