#!/bin/sh
# Package benchmarks: generates ~200 MB of mixed files in /tmp and prints
#  1. the writer (hpack build, 2 threads) against xz -T2 at the same preset
#     on a tar of the same files: time and size;
#  2. the reader (decipher, XZ, CRC, framing) against the engine's XZ
#     decoder alone, liblzma alone and xz -dc on the same chunk data.
# Usage: bench/run.sh [BUILD_DIR]   (default build/pkg; needs hpack and bench_reader)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/pkg}
data=${HS_BENCH_DIR:-/tmp/hs-bench}
preset=6

hpack="$build/tools/hpack"
reader="$build/bench/bench_reader"
[ -x "$hpack" ] && [ -x "$reader" ] || { echo "build hpack and bench_reader in $build first" >&2; exit 1; }

if [ ! -f "$data/files.lst" ]; then
  echo "generating data in $data ..."
  python3 "$here/gen_data.py" "$data"
fi
printf '\040\000\000\000\000\000\000\000' > "$data/settings.bin"   # ProductFlags bit 5: XZ chunks
( cd "$data" && tar cf data.tar --sort=name files )
total=$(du -sb "$data/files" | cut -f1)
echo "input: $total bytes in $(wc -l < "$data/files.lst") files"

seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }

echo "== writer (2 threads, preset $preset)"
t_hpack=$(seconds "$hpack" build -s "$data/settings.bin" -f "$data/files.lst" --package-only --preset $preset -j 2 -o "$data/package.bin")
t_xz=$(seconds sh -c "xz -T2 -$preset -c '$data/data.tar' > '$data/data.tar.xz'")
s_hpack=$(stat -c %s "$data/package.bin")
s_xz=$(stat -c %s "$data/data.tar.xz")
echo "hpack build: ${t_hpack} s, ${s_hpack} bytes"
echo "xz -T2 -$preset: ${t_xz} s, ${s_xz} bytes"
awk -v a="$t_hpack" -v b="$t_xz" -v c="$s_hpack" -v d="$s_xz" \
  'BEGIN { printf "writer time ratio %.3f (target <= 1), size ratio %.4f (target <= 1.02)\n", a / b, c / d }'

echo "== reader"
"$reader" "$data/package.bin" --write-chunks "$data/chunks.xz" --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true --benchmark_out="$data/reader.json" --benchmark_out_format=json
t_xzd=$(seconds sh -c "xz -dc -T1 '$data/chunks.xz' > /dev/null")
echo "xz -dc -T1 on the same chunks: ${t_xzd} s"
python3 - "$data/reader.json" "$t_xzd" <<'PY'
import json, sys
runs = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("aggregate_name") == "median"}
reader = runs["BM_Reader/real_time"]["real_time"] / 1000
decoder = runs["BM_DecoderOnly/real_time"]["real_time"] / 1000
lzma = runs["BM_LiblzmaOnly/real_time"]["real_time"] / 1000
xzd = float(sys.argv[2])
print(f"reader {reader:.3f} s, engine XZ decoder alone {decoder:.3f} s, liblzma alone {lzma:.3f} s, xz -dc {xzd:.3f} s")
print(f"reader overhead beyond liblzma: {100 * (reader / lzma - 1):.1f}% (target <= 5%); vs xz -dc: {100 * (reader / xzd - 1):.1f}%")
PY
