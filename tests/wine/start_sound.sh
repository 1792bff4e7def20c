#!/bin/bash
# The start sound under Wine, with the real hsetup.exe and winmm:
#
#   tests/wine/start_sound.sh [BUILD_DIR] [HPACK]
#
# (HSETUP_I686=... or HSETUP_X86_64=... name an engine build elsewhere.)
#
# An installer made by hpack with a start sound and one language runs
# through its start-up to the installation run. Wine's winmm traces every
# PlaySoundW call with its flags ("pszSound=... fdwSound=..."):
#  - without /a the engine calls PlaySoundW once, from memory,
#    asynchronously, without the default sound and without stopping a
#    sound already playing (SND_MEMORY | SND_ASYNC | SND_NODEFAULT |
#    SND_NOSTOP = 0x17), and winmm comes from the system folder;
#  - with /a there is no sound at all.
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"

# shellcheck source=tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
start_wine_check start-sound "$@"
[ -x "$HPACK" ] || { echo "wine: FAIL: hpack not found at $HPACK" >&2; exit 1; }

# A tenth of a second of silence: 8 kHz, 8 bits, one channel.
python3 - "$WORK/start.wav" <<'PY'
import struct, sys
samples = bytes([128]) * 800
fmt = struct.pack("<HHIIHH", 1, 1, 8000, 8000, 1, 8)
body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + samples
open(sys.argv[1], "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PY
cat >"$WORK/sound.toml" <<TOML
[product]
name = "Sound Probe"
version = "1.0"
start_sound = "start.wav"
TOML
"$HPACK" build "$WORK/sound.toml" --stub "$STUB" -o "$WORK/sound.exe" >/dev/null || {
  echo "wine: FAIL: hpack build sound" >&2
  exit 1
}

failures=0
fail() {
  echo "wine: FAIL: $*" >&2
  failures=$((failures + 1))
}
# run NAME ARGS...: the installer with winmm's trace and the loader's list
# of loaded libraries in WORK/NAME.log; prints the exit status.
run() {
  local name="$1"
  shift
  WINEDEBUG=trace+winmm,+loaddll timeout "$LIMIT" "$WINE" "$WORK/sound.exe" "$@" >"$WORK/$name.log" 2>&1
  echo $?
  timeout 60 wineserver -w >/dev/null 2>&1 || true
}
# The PlaySoundW calls of a log, one line each: the trace line of winmm's
# PlaySound with its flags.
sounds() { grep -aE 'PlaySound|fdwSound' "$WORK/$1.log" | grep -ao 'fdwSound=[0-9A-Fa-fx]*' ; }

code="$(run plain)"
[ "$code" = 0 ] || fail "installer with a start sound -> $code, expected 0 (log: $WORK/plain.log)"
flags="$(sounds plain | sort -u | tr '\n' ' ')"
if [ "$(sounds plain | wc -l)" -ge 1 ] && [ "$flags" = "fdwSound=00000017 " ]; then
  echo "wine: ok: the start sound went to PlaySoundW with SND_MEMORY | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP"
else
  fail "PlaySoundW calls: '${flags}', expected fdwSound=00000017 (log: $WORK/plain.log)"
fi
if grep -aiE 'Loaded .*winmm\.dll' "$WORK/plain.log" | grep -aivq 'system32'; then
  fail "winmm.dll was loaded from outside the system folder (log: $WORK/plain.log)"
fi

code="$(run automatic /a)"
[ "$code" = 0 ] || fail "installer with a start sound, /a -> $code, expected 0"
if [ "$(sounds automatic | wc -l)" -eq 0 ]; then
  echo "wine: ok: no start sound in automatic mode"
else
  fail "a start sound in automatic mode (log: $WORK/automatic.log)"
fi

timeout 60 wineserver -k >/dev/null 2>&1 || true
exit $failures
