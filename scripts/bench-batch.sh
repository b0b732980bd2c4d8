#!/usr/bin/env bash
# Times tessmark-batch on the benchmark photographs (JPEG output, quality 90) against the
# bare-library floor jpeg_roundtrip -k in the same run; prints ms per photo, the ratios to
# the targets and the peak memory of one worker.
# Usage: scripts/bench-batch.sh [BUILD_DIR] [CORPUS_DIR] [ROUNDS]
# The corpus is built with shared/bench/make-corpus.sh when the folder has none.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
corpus=${2:-$root/../bench-corpus}
rounds=${3:-2}
shared="$root/../shared/bench"
[ -f "$shared/jpeg_roundtrip.c" ] || { echo "missing $shared/jpeg_roundtrip.c" >&2; exit 1; }
if [ ! -d "$corpus/photos" ]; then
  echo "building the corpus in $corpus"
  sh "$shared/make-corpus.sh" "$corpus"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target bench_batch tessmark-batch -j2 >/dev/null
cc -O2 -o "$build/jpeg_roundtrip" "$shared/jpeg_roundtrip.c" -ljpeg
"$build/bench/bench_batch" "$corpus" "$build/tools/tessmark-batch" "$build/jpeg_roundtrip" "$rounds"
