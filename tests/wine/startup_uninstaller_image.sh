#!/bin/bash
# The uninstaller image under Wine: an installer whose ProductFlags2 bit 5
# asks for an uninstaller without the package. The engine's image of it must
# be the engine stub again (apart from the PE checksum the writer filled in)
# and a program that Wine starts: without a package it ends on the fatal
# path (-1, seen as 255), as the bare engine does. The image of the same
# installer signed is the unsigned one (no certificate).
#
#   tests/wine/startup_uninstaller_image.sh HOST_BUILD_DIR [HPACK]
#
# HOST_BUILD_DIR holds libhs_core.a; HSETUP_I686 / HSETUP_X86_64 name the
# engine builds (default: the win-*/dev-* folders of HOST_BUILD_DIR).
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "${1:-$REPO/build}" && pwd)"
HPACK="${2:-$BUILD/tools/hpack}"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$BUILD" "$HPACK"
fi

# shellcheck source=tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
use_wine_prefix startup-image

use_engine_build
[ -x "$HPACK" ] || { echo "wine: FAIL: hpack not found at $HPACK" >&2; exit 1; }
[ -f "$BUILD/libhs_core.a" ] || { echo "wine: FAIL: $BUILD/libhs_core.a not built" >&2; exit 1; }

g++ -std=c++20 -O1 -I"$REPO/src" -o "$WORK/image_tool" "$HERE/startup_uninstaller_image_tool.cpp" \
  "$BUILD/libhs_core.a" -llzma -lz || { echo "wine: FAIL: image tool does not build" >&2; exit 1; }

cat >"$WORK/image.toml" <<'TOML'
[product]
name = "Image Probe"
version = "1.0"
TOML
"$HPACK" build "$WORK/image.toml" --stub "$STUB" --flags2 0x20 -o "$WORK/setup.exe" >/dev/null ||
  { echo "wine: FAIL: hpack build" >&2; exit 1; }

failures=0
check() {  # check WHAT EXPECTED GOT
  if [ "$3" = "$2" ]; then echo "wine: ok: $1 -> $3"; else echo "wine: FAIL: $1 -> $3, expected $2" >&2; failures=$((failures + 1)); fi
}

"$WORK/image_tool" "$WORK/setup.exe" "$WORK/uninstall.exe"
check "image tool" 0 $?
# The image is the stub, except the 4-byte CheckSum of the optional header;
# the writer placed the package on the file alignment, so a stub whose size
# is not a multiple of it comes back with zero padding (less than 512 bytes).
pe=$(od -An -tu4 -j60 -N4 "$STUB" | tr -d ' ')
stub_size=$(stat -c %s "$STUB")
image_size=$(stat -c %s "$WORK/uninstall.exe")
head -c "$stub_size" "$WORK/uninstall.exe" >"$WORK/uninstall.head"
differing="$(cmp -l "$STUB" "$WORK/uninstall.head" 2>&1 | awk -v lo=$((pe + 88)) -v hi=$((pe + 92)) '$1 - 1 < lo || $1 - 1 >= hi' | wc -l)"
check "bytes of the image that differ from the engine stub outside its CheckSum" 0 "$differing"
padding=$((image_size - stub_size))
nonzero="$(tail -c "$padding" "$WORK/uninstall.exe" | tr -d '\0' | wc -c)"
check "padding behind the stub's bytes (size below 512, all zero)" "yes 0" "$([ "$padding" -ge 0 ] && [ "$padding" -lt 512 ] && echo yes || echo no) $nonzero"
got="$(timeout "$LIMIT" "$WINE" "$WORK/uninstall.exe" /silent >>"$BUILD/logs/wine-run.log" 2>&1; echo $?)"
check "the image runs as the bare engine (no package: fatal path)" 255 "$got"
got="$(timeout "$LIMIT" "$WINE" "$WORK/setup.exe" /silent >>"$BUILD/logs/wine-run.log" 2>&1; echo $?)"
check "the installer it came from" 0 "$got"

# Signed (a self-signed certificate made here): the image leaves the
# certificate out, so it is the unsigned installer's image again (apart from
# the CheckSum the signing tool rewrote), and it starts as before.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Halvorend Test Signer" \
  -keyout "$WORK/key.pem" -out "$WORK/cert.pem" >/dev/null 2>&1 &&
  osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -in "$WORK/setup.exe" -out "$WORK/signed.exe" >/dev/null
check "signing the installer" 0 $?
"$WORK/image_tool" "$WORK/signed.exe" "$WORK/uninstall-signed.exe"
check "image tool on the signed installer" 0 $?
differing="$(cmp -l "$WORK/uninstall.exe" "$WORK/uninstall-signed.exe" 2>&1 | awk -v lo=$((pe + 88)) -v hi=$((pe + 92)) '$1 - 1 < lo || $1 - 1 >= hi' | wc -l)"
check "bytes of the signed installer's image that differ from the unsigned one's outside its CheckSum" 0 "$differing"
got="$(timeout "$LIMIT" "$WINE" "$WORK/uninstall-signed.exe" /silent >>"$BUILD/logs/wine-run.log" 2>&1; echo $?)"
check "the signed installer's image runs as the bare engine" 255 "$got"

timeout 60 wineserver -k >/dev/null 2>&1 || true
[ "$failures" -eq 0 ] && echo "wine: startup uninstaller image cases passed ($ARCH build)" || exit 1
