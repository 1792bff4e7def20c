#!/bin/bash
# The single-installer mutex under Wine, with the real hsetup.exe:
#
#   tests/wine/startup_mutex.sh [BUILD_DIR] [HPACK]
#
# (HSETUP_I686=... or HSETUP_X86_64=... name an engine build elsewhere.)
#
# An installer whose package asks for a single installer ends with exit code
# 8 while another process holds "Halvorend GCS", and runs once that process
# has ended (also without releasing the mutex: an abandoned mutex counts as
# taken). The holder is a small program of this folder; the installer is
# built with hpack from a two-line project.
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"

# shellcheck source=tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
start_wine_check startup-mutex "$@"
"$ARCH-w64-mingw32-gcc" -O2 -municode -o "$WORK/holder-$ARCH.exe" "$HERE/startup_mutex_holder.c" ||
  { echo "wine: FAIL: the mutex holder does not build" >&2; exit 1; }
[ -x "$HPACK" ] || { echo "wine: FAIL: hpack not found at $HPACK" >&2; exit 1; }

cat >"$WORK/single.toml" <<'TOML'
[product]
name = "Mutex Probe"
version = "1.0"

[options]
single_installer = true
TOML
"$HPACK" build "$WORK/single.toml" --stub "$STUB" -o "$WORK/single.exe" >/dev/null || { echo "wine: FAIL: hpack build" >&2; exit 1; }

failures=0
check() {  # check WHAT EXPECTED GOT
  if [ "$3" = "$2" ]; then echo "wine: ok: $1 -> $3"; else echo "wine: FAIL: $1 -> $3, expected $2" >&2; failures=$((failures + 1)); fi
}
run_installer() { timeout "$LIMIT" "$WINE" "$WORK/single.exe" /silent >>"$BUILD/logs/wine-run.log" 2>&1; echo $?; }

check "single installer with nobody holding the mutex" 0 "$(run_installer)"

touch "$WORK/hold"
rm -f "$WORK/ready"
timeout 300 "$WINE" "$WORK/holder-$ARCH.exe" 'Z:'"${WORK//\//\\}"'\ready' 'Z:'"${WORK//\//\\}"'\hold' >>"$BUILD/logs/wine-run.log" 2>&1 &
holder=$!
for _ in $(seq 1 300); do [ -f "$WORK/ready" ] && break; sleep 0.2; done
if [ -f "$WORK/ready" ]; then
  check "second installer while another holds the mutex" 8 "$(run_installer)"
else
  echo "wine: FAIL: the mutex holder did not start" >&2
  failures=$((failures + 1))
fi
rm -f "$WORK/hold"
wait "$holder"
check "installer after the holder ended without releasing the mutex" 0 "$(run_installer)"

timeout 60 wineserver -k >/dev/null 2>&1 || true
[ "$failures" -eq 0 ] && echo "wine: startup mutex cases passed ($ARCH build)" || exit 1
