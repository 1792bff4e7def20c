#!/bin/bash
# Sets the machine up, builds everything, and shows the engine at work on
# the simulated Windows: hsetup.exe started with an unknown switch answers
# with its usage message, which the simulation writes to its transcript.
set -euo pipefail

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${HS_BUILD_DIR:-$REPO/build}"
export HS_BUILD_DIR="$BUILD"

"$REPO/scripts/setup.sh"

SIM="$BUILD/host/tools/hsetup-sim"
EXE="$BUILD/win-i686/src/platform/win32/hsetup.exe"
if [ ! -x "$SIM" ]; then
  echo "demo: $SIM was not built" >&2
  exit 1
fi

MACHINE="$(mktemp -d)"
trap 'rm -rf "$MACHINE"' EXIT
echo
echo "demo: hsetup-sim --root $MACHINE --transcript - hsetup.exe /x"
set +e
"$SIM" --root "$MACHINE" --transcript - "$EXE" /x
code=$?
set -e
echo
echo "demo: the engine ended with exit code $code (15: usage error)"
echo "demo: the Windows installer engine itself: $EXE"
file "$EXE" "$BUILD/win-x86_64/src/platform/win32/hsetup.exe"
