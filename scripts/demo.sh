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

# The Demo Notes product (examples/demo): built twice from its project file
# to show that builds are reproducible, checked, described, and installed
# on the simulated Windows.
HPACK="$BUILD/host/tools/hpack"
DEMO_OUT="$BUILD/demo"
mkdir -p "$DEMO_OUT"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$REPO" log -1 --format=%ct 2>/dev/null || echo 0)}"
echo
echo "demo: hpack build examples/demo/demo.toml (twice)"
"$HPACK" build "$REPO/examples/demo/demo.toml" --stub "$EXE" -o "$DEMO_OUT/DemoSetup.exe"
"$HPACK" build "$REPO/examples/demo/demo.toml" --stub "$EXE" -o "$DEMO_OUT/DemoSetup-again.exe"
cmp "$DEMO_OUT/DemoSetup.exe" "$DEMO_OUT/DemoSetup-again.exe"
echo "demo: the two builds are byte-identical"
"$HPACK" verify "$DEMO_OUT/DemoSetup.exe"
"$HPACK" info "$DEMO_OUT/DemoSetup.exe" >"$DEMO_OUT/DemoSetup.info.txt"
head -n 60 "$DEMO_OUT/DemoSetup.info.txt"
echo "demo: (hpack info $DEMO_OUT/DemoSetup.exe prints everything; --language Deutsch for the German messages)"
echo
# What the machine holds, to compare before and after the installation:
# every file (drive-letter path and size) and every registry line.
snapshot() {
  (cd "$MACHINE" && find drives -type f -printf '%p %s\n' 2>/dev/null | sort) >"$1.files"
  if [ -f "$MACHINE/registry.reg" ]; then sort "$MACHINE/registry.reg" >"$1.reg"; else : >"$1.reg"; fi
}
snapshot "$DEMO_OUT/before"
echo "demo: hsetup-sim --root $MACHINE --transcript - DemoSetup.exe /silent"
set +e
"$SIM" --root "$MACHINE" --transcript - "$DEMO_OUT/DemoSetup.exe" /silent
code=$?
set -e
echo "demo: the Demo Notes installer ended with exit code $code"
snapshot "$DEMO_OUT/after"
echo
echo "demo: what changed on the simulated machine (files, then registry; + added, - removed):"
diff "$DEMO_OUT/before.files" "$DEMO_OUT/after.files" | sed -n 's/^> /  + /p; s/^< /  - /p' || true
diff "$DEMO_OUT/before.reg" "$DEMO_OUT/after.reg" | sed -n 's/^> /  + /p; s/^< /  - /p' || true
