#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds, starting
# from the committed corpus (fuzz/corpus/<target>), with the shared test data as further seeds
# when it is present and the format's dictionary when there is one: scripts/fuzz.sh [SECONDS]
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
  # New inputs go to the build tree; the committed corpus is only read.
  seeds=()
  [ -d "fuzz/corpus/${name#fuzz_}" ] && seeds+=("fuzz/corpus/${name#fuzz_}")
  seed_dir="$root/fuzz/seeds/${name#fuzz_}"
  [ -d "$seed_dir" ] && seeds+=("$seed_dir")
  if [ -d "$testdata" ] && [ -f "fuzz/${name}.folders" ]; then
    while read -r folder; do
      [ -n "$folder" ] && [ -d "$testdata/$folder" ] && seeds+=("$testdata/$folder")
    done < "fuzz/${name}.folders"
  fi
  options=()
  case ${name#fuzz_} in
  exif) dict=jpeg ;;
  *) dict=${name#fuzz_} ;;
  esac
  [ -f "fuzz/dict/$dict.dict" ] && options+=("-dict=fuzz/dict/$dict.dict")
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=60 -print_final_stats=0 \
    "${options[@]}" "$corpus" "${seeds[@]}" 2>&1 | tail -n 3
done
