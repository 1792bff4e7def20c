#!/bin/bash
# Signed installers under Wine, with the real hsetup.exe:
#
#   tests/wine/signed_installer.sh [BUILD_DIR] [HPACK]
#
# A self-signed code-signing certificate is made here (openssl req -x509);
# hpack builds the demo with --sign-command running osslsigncode, and
# hpack verify passes. All runs are silent:
#  - the signed demo, protected by CRC: the certificate directory entry and
#    the certificate behind the package are no part of the check (0);
#  - the same with a byte of the engine changed before signing: the damage
#    report (2), the signature notwithstanding;
#  - protected by signature: the engine takes what Wine's WinVerifyTrust
#    says, and signature_probe.exe asks WinVerifyTrust the engine's
#    question beside it. For this self-signed root Wine answers 0 (a valid
#    signature, last error ERROR_MORE_DATA): Wine does not hold the chain
#    against a root that is not trusted, where Windows answers
#    CERT_E_UNTRUSTEDROOT (outcome 3, damage code 1003). So the run goes
#    on (0);
#  - unsigned, protected by signature: TRUST_E_NOSIGNATURE with the same
#    last error, outcome 1: damage code 1001 (2);
#  - signed, then a byte of the engine changed: the digest no longer
#    matches (2).
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"

# shellcheck source=tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
start_wine_check signed-installer "$@"
[ -x "$HPACK" ] || { echo "wine: FAIL: hpack not found at $HPACK" >&2; exit 1; }
for tool in openssl osslsigncode; do
  command -v "$tool" >/dev/null || { echo "wine: FAIL: $tool not installed" >&2; exit 1; }
done

failures=0
check() {  # check WHAT EXPECTED GOT
  if [ "$3" = "$2" ]; then echo "wine: ok: $1 -> $3"; else echo "wine: FAIL: $1 -> $3, expected $2" >&2; failures=$((failures + 1)); fi
}
run() { timeout "$LIMIT" "$WINE" "$WORK/$1" /silent >>"$BUILD/logs/wine-run.log" 2>&1; echo $?; }

openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Halvorend Test Signer" \
  -addext extendedKeyUsage=codeSigning -keyout "$WORK/key.pem" -out "$WORK/cert.pem" >/dev/null 2>&1 ||
  { echo "wine: FAIL: openssl req -x509" >&2; exit 1; }
SIGN="osslsigncode sign -certs '$WORK/cert.pem' -key '$WORK/key.pem' -n 'Halvorend Demo' -in {in} -out {out}"

# The demo (protection by CRC), and the demo protected by signature.
cp -r "$REPO/examples/demo" "$WORK/demo"
DEMO="$WORK/demo/demo.toml"
SIGNATURE_DEMO="$WORK/demo/signature.toml"
sed 's/^engine_protection = "crc"/engine_protection = "signature"/' "$DEMO" >"$SIGNATURE_DEMO"
grep -q '^engine_protection = "signature"' "$SIGNATURE_DEMO" || { echo "wine: FAIL: demo without engine_protection" >&2; exit 1; }

build() {  # build PROJECT OUTPUT [ARGS...]
  local project="$1" output="$2"
  shift 2
  "$HPACK" build "$project" --stub "$STUB" -o "$WORK/$output" "$@" >>"$BUILD/logs/wine-run.log" 2>&1 ||
    { echo "wine: FAIL: hpack build $output" >&2; exit 1; }
}
build "$DEMO" signed.exe --sign-command "$SIGN"
build "$DEMO" plain.exe
build "$SIGNATURE_DEMO" signed-by-signature.exe --sign-command "$SIGN"
build "$SIGNATURE_DEMO" unsigned-by-signature.exe
# A byte of the header padding behind the section table changed, then signed.
python3 - "$WORK" <<'PY'
import struct, sys
work = sys.argv[1]
data = bytearray(open(f"{work}/plain.exe", "rb").read())
pe = struct.unpack_from("<I", data, 60)[0]
size_of_headers = struct.unpack_from("<I", data, pe + 24 + 60)[0]
data[size_of_headers - 1] ^= 0xFF
open(f"{work}/changed.exe", "wb").write(data)
# The same byte changed after signing: the signature no longer matches.
data = bytearray(open(f"{work}/signed-by-signature.exe", "rb").read())
data[size_of_headers - 1] ^= 0xFF
open(f"{work}/changed-after-signing.exe", "wb").write(data)
PY
osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -in "$WORK/changed.exe" -out "$WORK/changed-signed.exe" \
  >/dev/null || { echo "wine: FAIL: osslsigncode sign" >&2; exit 1; }

check "hpack verify of the signed demo" "0 yes" \
  "$("$HPACK" verify "$WORK/signed.exe" >"$WORK/verify.txt" 2>&1; echo $?) $(grep -q '^signature: present' "$WORK/verify.txt" && echo yes || echo no)"

"$ARCH-w64-mingw32-gcc" -O2 -municode -o "$WORK/signature_probe.exe" "$HERE/signature_probe.c" -lwintrust ||
  { echo "wine: FAIL: signature probe does not build" >&2; exit 1; }
probe() { timeout "$LIMIT" "$WINE" "$WORK/signature_probe.exe" "Z:${WORK//\//\\}\\$1" 2>/dev/null | tr -d '\r'; }
trust_signed="$(probe signed-by-signature.exe)"
trust_unsigned="$(probe unsigned-by-signature.exe)"
echo "wine: WinVerifyTrust, signed with a self-signed root: $trust_signed"
echo "wine: WinVerifyTrust, unsigned: $trust_unsigned"
check "WinVerifyTrust of the self-signed installer" "result=0x00000000" "${trust_signed%% *}"
check "WinVerifyTrust of the unsigned installer" "result=0x800b0100 last_error=0x800b0100" "$trust_unsigned"

check "signed demo, protection by CRC" 0 "$(run signed.exe)"
check "signed demo whose engine changed before signing, by CRC" 2 "$(run changed-signed.exe)"
check "signed demo, protection by signature (Wine: outcome 0)" 0 "$(run signed-by-signature.exe)"
check "unsigned demo, protection by signature (outcome 1)" 2 "$(run unsigned-by-signature.exe)"
check "signed demo changed after signing, protection by signature" 2 "$(run changed-after-signing.exe)"

timeout 60 wineserver -k >/dev/null 2>&1 || true
exit $failures
