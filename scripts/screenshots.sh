#!/bin/bash
# Pictures of every wizard page in every look, of the password, crash and
# support-offer dialogs, the progress page and the backdrop (gradient,
# bitmap in each stretch mode, palette transparency, per-pixel alpha, title
# and copyright), taken from the real Windows code under Wine and Xvfb.
#
#   scripts/screenshots.sh OUTPUT_FOLDER
#
# Builds tests/wine/page_shots.cpp with the MinGW compiler (with the
# product's dialog templates and bitmaps), runs it under Wine in a virtual
# X screen and turns each picture into a PNG in OUTPUT_FOLDER.
# Environment: BUILD (work folder, default build/screenshots), WINEPREFIX.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 OUTPUT_FOLDER" >&2
  exit 2
fi
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mkdir -p "$1"
OUT="$(cd "$1" && pwd)"
BUILD="${BUILD:-$REPO/build/screenshots}"
mkdir -p "$BUILD/shots" "$BUILD/pictures"
export WINEPREFIX="${WINEPREFIX:-$BUILD/wine-prefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="

# The Wine loader: the 32-bit one where it runs, else the 64-bit one, and
# the matching compiler.
WINE=wine
TRIPLE=i686-w64-mingw32
if ! wine --version >/dev/null 2>&1 || ! command -v $TRIPLE-g++ >/dev/null; then
  WINE=/usr/lib/wine/wine64
  [ -x "$WINE" ] || WINE="$(command -v wine64)"
  export WINELOADER="$WINE"
  TRIPLE=x86_64-w64-mingw32
fi
echo "screenshots: $TRIPLE under $WINE"

# --- The program --------------------------------------------------------------
cat >"$BUILD/page_shots.rc" <<RC
#include <windows.h>
CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST "$REPO/src/resources/hsetup.manifest"
RC
$TRIPLE-windres -I"$REPO/src/resources" -I"$REPO/src" "$REPO/src/resources/dialogs.rc" -O coff -o "$BUILD/dialogs.o"
$TRIPLE-windres "$BUILD/page_shots.rc" -O coff -o "$BUILD/page_shots_rc.o"
$TRIPLE-g++ -std=c++20 -O1 -municode -mwindows -DUNICODE -D_UNICODE -D_WIN32_WINNT=0x0601 -I"$REPO/src" \
  "$REPO/tests/wine/page_shots.cpp" \
  "$REPO"/src/platform/win32/win32_page_*.cpp "$REPO/src/platform/win32/win32_progress.cpp" \
  "$REPO/src/platform/win32/win32_wizard_windows.cpp" "$REPO/src/platform/win32/win32_fonts.cpp" \
  "$REPO/src/platform/win32/win32_backdrop.cpp" "$REPO/src/platform/win32/library_loading.cpp" \
  "$REPO/src/wizard/page_style.cpp" "$REPO/src/wizard/backdrop_layout.cpp" "$REPO/src/wizard/dib_image.cpp" \
  "$REPO/src/support/text.cpp" "$REPO/src/package/default_messages.cpp" \
  "$BUILD/dialogs.o" "$BUILD/page_shots_rc.o" \
  -static -lgdi32 -luser32 -lshell32 -lole32 -lcomctl32 -o "$BUILD/page_shots.exe"

# --- Pictures for the backdrop --------------------------------------------------
# A 24-bit photo-like picture, an 8-bit logo whose palette entry 0 is its
# background, and a 32-bit picture with premultiplied per-pixel alpha.
python3 - "$BUILD/pictures" <<'PY'
import math, struct, sys
out = sys.argv[1]
def write(name, w, h, bits, rows, palette=b""):
    stride = (w * bits + 31) // 32 * 4
    data = b"".join(r + b"\0" * (stride - len(r)) for r in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(data), 2835, 2835, len(palette) // 4, 0)
    off = 14 + 40 + len(palette)
    with open(f"{out}/{name}", "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", off + len(data), 0, 0, off) + header + palette + data)
w, h = 320, 200
rows = []
for y in range(h):
    r = bytearray()
    for x in range(w):
        r += bytes((int(128 + 127 * math.sin(x / 23)), int(255 * y / h), int(255 * x / w)))
    rows.append(bytes(r))
write("photo24.bmp", w, h, 24, rows)
w = h = 64
palette = bytes((255, 0, 255, 0)) + b"".join(bytes((40 + i // 2, 80 + i // 2, 255 - i, 0)) for i in range(1, 256))
rows = []
for y in range(h):
    r = bytearray()
    for x in range(w):
        d = math.hypot(x - 31.5, y - 31.5)
        r.append(0 if d > 28 else (1 + int(d * 8) % 255) if d > 10 else 200)
    rows.append(bytes(r))
write("logo8.bmp", w, h, 8, rows, palette)
w = h = 128
rows = []
for y in range(h):
    r = bytearray()
    for x in range(w):
        d = math.hypot(x - 63.5, y - 63.5)
        a = max(0, min(255, int(255 * (1 - d / 64))))
        r += bytes((a * 40 // 255, a * 220 // 255, a * 250 // 255, a))
    rows.append(bytes(r))
write("alpha32.bmp", w, h, 32, rows)
PY

# --- Taking the pictures --------------------------------------------------------
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "screenshots: creating the Wine prefix $WINEPREFIX (takes a minute)"
  timeout 600 xvfb-run -a "$WINE" wineboot.exe -i >/dev/null 2>&1 || true
fi
rm -f "$BUILD/shots/"*.bmp "$BUILD/shots/captions.txt"
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
timeout 600 xvfb-run -a -s "-screen 0 1280x800x24" \
  "$WINE" "$BUILD/page_shots.exe" "$(winpath "$BUILD/shots")" "$(winpath "$BUILD/pictures")" || {
  echo "screenshots: page_shots failed ($?)" >&2
  exit 1
}

CONVERT=convert
[ -x /usr/bin/convert ] && CONVERT=/usr/bin/convert
count=0
for bmp in "$BUILD/shots/"*.bmp; do
  [ -e "$bmp" ] || continue
  name="$(basename "$bmp" .bmp)"
  "$CONVERT" "$bmp" "$OUT/$name.png"
  count=$((count + 1))
done
[ -f "$BUILD/shots/captions.txt" ] && cp "$BUILD/shots/captions.txt" "$OUT/"
echo "screenshots: $count pictures in $OUT"
[ "$count" -gt 0 ]
