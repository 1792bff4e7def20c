#!/bin/bash
# Pictures of every wizard page in every look, of the password, crash and
# support-offer dialogs, the progress page and the backdrop (gradient,
# bitmap in each stretch mode, palette transparency, per-pixel alpha, title
# and copyright), taken from the real Windows code under Wine, at 100 %,
# 150 % and 200 % of the standard 96 dots per inch.
#
#   scripts/screenshots.sh OUTPUT_FOLDER
#
# Runs page_shots.exe (tests/wine/page_shots.cpp, built with the Windows
# builds: scripts/setup.sh) under Wine: the build this machine's Wine runs,
# i686 first. The pictures are taken inside Wine's virtual desktop, so that
# window frames and captions are drawn as Windows draws them, in a Wine
# prefix of their own that has a font for Chinese, Japanese and Korean
# texts. They become PNG files in OUTPUT_FOLDER/100, /150 and /200.
# Fails when a page does not come up, closes by itself or is drawn as one
# flat colour, and when a scale has not every picture of the others.
#
# HS_BUILD_DIR is the build folder (default build/ of the checkout); the
# prefix and the work files are in HS_BUILD_DIR/wine-shots. HS_SHOT_SCALES
# takes fewer scales (say "100").
# Needs (scripts/setup.sh installs them): Wine with its own fonts
# (fonts-wine: Tahoma, Marlett for the caption buttons), Xvfb,
# fonts-wqy-microhei, netpbm.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 OUTPUT_FOLDER" >&2
  exit 2
fi
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
HERE="$REPO/tests/wine"
ROOT="$(cd "${HS_BUILD_DIR:-$REPO/build}" && pwd)"
mkdir -p "$1"
OUT="$(cd "$1" && pwd)"

# The largest virtual desktop below (200 %) must fit the X screen.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 2560x1600x24" "$0" "$OUT"
fi

CJK_FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
CJK_FACE="WenQuanYi Micro Hei"
[ -f "$CJK_FONT" ] || { echo "screenshots: FAIL: $CJK_FONT missing (scripts/setup.sh installs fonts-wqy-microhei)" >&2; exit 1; }
command -v bmptopnm >/dev/null && command -v pnmtopng >/dev/null ||
  { echo "screenshots: FAIL: bmptopnm or pnmtopng missing (scripts/setup.sh installs netpbm)" >&2; exit 1; }

# shellcheck source=../tests/wine/wine_prefix.sh
. "$HERE/wine_prefix.sh"
BUILD="$ROOT/wine-shots"
use_wine_prefix shots
LIMIT=60
BUILD="$ROOT" use_engine_build
SHOTS_EXE="${STUB%/src/platform/win32/hsetup.exe}/tests/wine/page_shots.exe"
[ -f "$SHOTS_EXE" ] || { echo "screenshots: FAIL: $SHOTS_EXE not built (scripts/setup.sh builds it)" >&2; exit 1; }
echo "screenshots: the $ARCH build under $WINE"

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# --- The prefix: fonts ------------------------------------------------------------
# Wine's own fonts (Tahoma, the face behind "MS Shell Dlg 2", and Marlett,
# which draws the caption buttons) and the CJK font go into the prefix's
# Fonts folder, where this Wine finds them. The CJK font is linked behind
# the faces the pages use, so that text those faces cannot show (the
# language list's "日本語") takes its glyphs from it, as on a Windows with
# East Asian fonts.
WINE_FONTS=/usr/share/wine/fonts
[ -f "$WINE_FONTS/tahoma.ttf" ] || { echo "screenshots: FAIL: $WINE_FONTS/tahoma.ttf missing (scripts/setup.sh installs fonts-wine)" >&2; exit 1; }
cp -f "$WINE_FONTS"/*.ttf "$CJK_FONT" "$WINEPREFIX/drive_c/windows/Fonts/"
font_file="$(basename "$CJK_FONT")"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n'
  printf '"%s (TrueType)"="%s"\r\n\r\n' "$CJK_FACE" "$font_file"
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  # REG_MULTI_SZ "FILE,FACE" in UTF-16: hex(7).
  link="$(printf '%s,%s' "$font_file" "$CJK_FACE" | iconv -t UTF-16LE | od -An -tx1 | tr -s ' \n' ' ' |
    sed 's/^ //; s/ $//; s/ /,/g'),00,00,00,00"
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" Arial "Segoe UI"; do
    printf '"%s"=hex(7):%s\r\n' "$face" "$link"
  done
  printf '\r\n'
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$WORK/prefix.reg"  # hex(7) is UTF-16 in a UTF-16 file
timeout "$LIMIT" "$WINE" regedit.exe /S "$(winpath "$WORK/prefix.reg")" >/dev/null 2>&1 ||
  { echo "screenshots: FAIL: could not set the prefix up" >&2; exit 1; }

# --- Pictures for the backdrop ---------------------------------------------------
# A 24-bit photo-like picture, an 8-bit logo whose palette entry 0 is its
# background, and a 32-bit picture with premultiplied per-pixel alpha.
mkdir -p "$WORK/pictures"
python3 - "$WORK/pictures" <<'PY'
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

# --- Taking the pictures at each scale -------------------------------------------
# The scale is the prefix's LogPixels, read by each Wine process at its
# start; the virtual desktop grows with it, as a screen of the same size in
# inches would. Wine is left to stop between two scales, so that the next
# one starts a new desktop.
declare -A SCALES=([100]=96:1280x800 [150]=144:1920x1200 [200]=192:2560x1600)
failed=0
for percent in ${HS_SHOT_SCALES:-100 150 200}; do
  [ -n "${SCALES[$percent]:-}" ] || { echo "screenshots: FAIL: no scale $percent %" >&2; exit 2; }
  IFS=: read -r dpi desktop <<<"${SCALES[$percent]}"
  start=$SECONDS
  shots="$WORK/shots/$percent"
  rm -rf "$shots" "${OUT:?}/$percent"
  mkdir -p "$shots" "$OUT/$percent"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$dpi"
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="%s"\r\n\r\n' "$desktop"
  } >"$WORK/scale.reg"
  timeout "$LIMIT" wineserver -w || true
  if ! timeout "$LIMIT" "$WINE" regedit.exe /S "$(winpath "$WORK/scale.reg")" >/dev/null 2>&1; then
    echo "screenshots: $percent % FAILED: could not set LogPixels" >&2
    failed=1
    continue
  fi
  timeout "$LIMIT" wineserver -w || true
  status=0
  timeout 300 "$WINE" "$SHOTS_EXE" "$(winpath "$shots")" "$(winpath "$WORK/pictures")" \
    >"$WORK/page_shots-$percent.log" 2>&1 || status=$?
  timeout "$LIMIT" wineserver -w || true
  grep -v '^page_shots: .* dots per inch' "$WORK/page_shots-$percent.log" | sed 's/^/screenshots:   /' >&2 || true
  if ! grep -q "^page_shots: $dpi dots per inch, screen ${desktop/x/ x }" "$WORK/page_shots-$percent.log"; then
    echo "screenshots: $percent % FAILED: not drawn at $dpi dots per inch on a $desktop desktop:" \
      "$(grep -m1 'dots per inch' "$WORK/page_shots-$percent.log" || echo 'page_shots did not start')" >&2
    failed=1
  fi
  count=0
  for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    name="$(basename "$bmp" .bmp)"
    bmptopnm "$bmp" 2>/dev/null | pnmtopng >"$OUT/$percent/$name.png" 2>/dev/null ||
      { echo "screenshots: could not convert $bmp" >&2; failed=1; }
    count=$((count + 1))
  done
  [ -f "$shots/captions.txt" ] && cp "$shots/captions.txt" "$OUT/$percent/"
  if [ "$status" -ne 0 ]; then
    echo "screenshots: $percent % FAILED: page_shots ended with $status (log: $WORK/page_shots-$percent.log)" >&2
    failed=1
  fi
  echo "screenshots: $percent % ($dpi dots per inch, desktop $desktop): $count pictures in $((SECONDS - start)) s"
done

# Every scale has the same pictures as the first.
first="${HS_SHOT_SCALES:-100}"
first="${first%% *}"
for percent in ${HS_SHOT_SCALES:-100 150 200}; do
  if ! diff <(ls "$OUT/$first") <(ls "$OUT/$percent") >/dev/null; then
    echo "screenshots: FAILED: the pictures at $percent % are not those at $first %:" >&2
    diff <(ls "$OUT/$first") <(ls "$OUT/$percent") | sed 's/^/screenshots:   /' >&2 || true
    failed=1
  fi
done
[ "$(find "$OUT" -name '*.png' | wc -l)" -gt 0 ] || failed=1
if [ "$failed" -ne 0 ]; then
  echo "screenshots: FAILED" >&2
  exit 1
fi
echo "screenshots: pictures in $OUT"
