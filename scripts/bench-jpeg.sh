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
# Processor time (user + system) of each whole run is printed too: on a busy machine it
# varies far less than the wall-clock medians.
cpu_ms_per_photo() { awk -v s="$1" -v n="$(( ${#photos[@]} * reps ))" 'BEGIN { printf "%.1f", s * 1000 / n }'; }
TIMEFORMAT='%3U %3S'
base=""; ours=""; base_cpu=""; ours_cpu=""
for round in 1 2; do
  { t=$( { time "$build/jpeg_roundtrip" -k -r "$reps" "${photos[@]}" > "$build/bench-base.out"; } 2>&1 ); }
  bc=$(cpu_ms_per_photo "$(echo "$t" | awk '{ print $1 + $2 }')")
  { t=$( { time "$build/bench/bench_jpeg" -r "$reps" "${photos[@]}" > "$build/bench-ours.out"; } 2>&1 ); }
  oc=$(cpu_ms_per_photo "$(echo "$t" | awk '{ print $1 + $2 }')")
  base_out=$(cat "$build/bench-base.out"); ours_out=$(cat "$build/bench-ours.out")
  b=$(echo "$base_out" | mean_of); o=$(echo "$ours_out" | mean_of)
  echo "round $round: bare library $b ms/photo ($bc ms processor), CPictureJPG $o ms/photo ($oc ms processor)"
  base=$(awk -v a="$base" -v b="$b" 'BEGIN { print (a == "" || b < a) ? b : a }')
  ours=$(awk -v a="$ours" -v b="$o" 'BEGIN { print (a == "" || b < a) ? b : a }')
  base_cpu=$(awk -v a="$base_cpu" -v b="$bc" 'BEGIN { print (a == "" || b < a) ? b : a }')
  ours_cpu=$(awk -v a="$ours_cpu" -v b="$oc" 'BEGIN { print (a == "" || b < a) ? b : a }')
done
echo "$base_out" | tail -4
echo "$ours_out" | tail -2
awk -v b="$base" -v o="$ours" 'BEGIN { printf "wall: bare library %.1f ms/photo, CPictureJPG %.1f ms/photo, ratio %.3f (target <= 1.10)\n", b, o, o / b }'
awk -v b="$base_cpu" -v o="$ours_cpu" 'BEGIN { printf "processor: bare library %.1f ms/photo, CPictureJPG %.1f ms/photo, ratio %.3f\n", b, o, o / b }'
