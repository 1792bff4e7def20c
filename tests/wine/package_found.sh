#!/bin/bash
# The engine finds and reads the package that hpack attached to it, under
# Wine, with the real hsetup.exe:
#
#   tests/wine/package_found.sh [BUILD_DIR] [HPACK]
#
# (HSETUP_I686=... or HSETUP_X86_64=... name an engine build elsewhere.)
#
# All runs are silent:
#  - the bare engine has no package: the fatal-error path (-1, which Wine
#    reports as 255);
#  - an installer made by hpack finds, reads and checks its package and
#    hands over to the installation run (0);
#  - the same installer with one byte in front of the package changed
#    after the package was attached fails its protection by CRC: the
#    damage report (2);
#  - an installer whose section table entry says that only the first 40
#    bytes of the package are to be mapped (VirtualSize), without engine
#    protection: the package is read where the loader mapped it, so the
#    header is found cut short (2), although the whole package is in the
#    file.
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"

# shellcheck source=tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
start_wine_check package-found "$@"
[ -x "$HPACK" ] || { echo "wine: FAIL: hpack not found at $HPACK" >&2; exit 1; }

printf 'hello from the package\r\n' >"$WORK/readme.txt"
make_installer() {  # make_installer NAME PROTECTION
  cat >"$WORK/$1.toml" <<TOML
[product]
name = "Package Probe"
version = "1.0"

[wizard]
engine_protection = "$2"

[[files]]
source = "readme.txt"
TOML
  "$HPACK" build "$WORK/$1.toml" --stub "$STUB" -o "$WORK/$1.exe" >/dev/null || {
    echo "wine: FAIL: hpack build $1" >&2
    exit 1
  }
}
make_installer setup crc
make_installer unprotected none
cp "$STUB" "$WORK/bare.exe"

python3 - "$WORK" <<'PY'
import struct, sys
work = sys.argv[1]
# A byte of the header padding behind the section table: the loader never
# reads it, but the engine CRC covers it (changed code might not run at all).
data = bytearray(open(f"{work}/setup.exe", "rb").read())
pe = struct.unpack_from("<I", data, 60)[0]
size_of_headers = struct.unpack_from("<I", data, pe + 24 + 60)[0]
data[size_of_headers - 1] ^= 0xFF
open(f"{work}/damaged.exe", "wb").write(data)

data = bytearray(open(f"{work}/unprotected.exe", "rb").read())
pe = struct.unpack_from("<I", data, 60)[0]
sections = struct.unpack_from("<H", data, pe + 6)[0]
table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
for i in range(sections):
    entry = table + 40 * i
    if bytes(data[entry:entry + 8]).rstrip(b"\0") == b".setup":
        struct.pack_into("<I", data, entry + 8, 40)  # VirtualSize
        break
else:
    sys.exit("no .setup section")
open(f"{work}/short-mapping.exe", "wb").write(data)
PY

failures=0
check() {  # check WHAT EXPECTED GOT
  if [ "$3" = "$2" ]; then echo "wine: ok: $1 -> $3"; else echo "wine: FAIL: $1 -> $3, expected $2" >&2; failures=$((failures + 1)); fi
}
run() { timeout "$LIMIT" "$WINE" "$WORK/$1" /silent >>"$BUILD/logs/wine-run.log" 2>&1; echo $?; }

check "bare engine: no package" 255 "$(run bare.exe)"
check "installer made by hpack" 0 "$(run setup.exe)"
check "engine bytes changed after packing" 2 "$(run damaged.exe)"
check "package mapped only in part" 2 "$(run short-mapping.exe)"

timeout 60 wineserver -k >/dev/null 2>&1 || true
exit $failures
