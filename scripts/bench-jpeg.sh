#!/usr/bin/env bash
# Times decode + encode at quality 90 of the benchmark photographs through CPictureJPG
# against the bare library (jpeg_roundtrip -k, buffers kept), in the same run, and prints
# ms per photo and the ratio ours / bare library (target: at most 1.10).
# Usage: scripts/bench-jpeg.sh [BUILD_DIR] [CORPUS_DIR] [REPS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
corpus=${2:-$root/../bench-corpus}
reps=${3:-3}
baseline_src="$root/../shared/bench/jpeg_roundtrip.c"
[ -d "$corpus/photos" ] || { echo "no corpus in $corpus (build it with shared/bench/make-corpus.sh)" >&2; exit 1; }
[ -f "$baseline_src" ] || { echo "missing $baseline_src" >&2; exit 1; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target bench_jpeg -j2 >/dev/null
cc -O2 -o "$build/jpeg_roundtrip" "$baseline_src" -ljpeg

photos=("$corpus"/photos/*.jpg)
mean_of() { grep 'mean ms/image' | sed -n 's/.*decode+encode \([0-9.]*\).*/\1/p'; }
# The machine is shared: both programs run twice, alternating, and each keeps its better run.
base=""; ours=""
for round in 1 2; do
  base_out=$("$build/jpeg_roundtrip" -k -r "$reps" "${photos[@]}")
  ours_out=$("$build/bench/bench_jpeg" -r "$reps" "${photos[@]}")
  b=$(echo "$base_out" | mean_of); o=$(echo "$ours_out" | mean_of)
  echo "round $round: bare library $b ms/photo, CPictureJPG $o ms/photo"
  base=$(awk -v a="$base" -v b="$b" 'BEGIN { print (a == "" || b < a) ? b : a }')
  ours=$(awk -v a="$ours" -v b="$o" 'BEGIN { print (a == "" || b < a) ? b : a }')
done
echo "$base_out" | tail -4
echo "$ours_out" | tail -2
awk -v b="$base" -v o="$ours" 'BEGIN { printf "bare library %.1f ms/photo, CPictureJPG %.1f ms/photo, ratio %.3f (target <= 1.10)\n", b, o, o / b }'
