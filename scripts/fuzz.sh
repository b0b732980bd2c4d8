#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds,
# seeded from the shared corpus when it is present: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
cd "$root"
CC=clang CXX=clang++ cmake -S "$root" -B build-fuzz -G Ninja -DFUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzzers -j "$(nproc)"
testdata="$root/../shared/testdata"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  seed_dir="$root/fuzz/seeds/${name#fuzz_}"
  [ -d "$seed_dir" ] && seeds+=("$seed_dir")
  if [ -d "$testdata" ] && [ -f "fuzz/${name}.folders" ]; then
    while read -r folder; do
      [ -n "$folder" ] && [ -d "$testdata/$folder" ] && seeds+=("$testdata/$folder")
    done < "fuzz/${name}.folders"
  fi
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=60 -print_final_stats=0 \
    "$corpus" "${seeds[@]}" 2>&1 | tail -n 3
done
