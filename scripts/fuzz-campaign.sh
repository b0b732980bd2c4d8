#!/usr/bin/env bash
# A long fuzzing campaign: runs each libFuzzer target (ASan/UBSan, built by scripts/fuzz.sh's
# configuration) until it has used the given CPU seconds, seeded like the short CI run, then
# minimises its small inputs into build-fuzz/campaign/<target>.merged (copy that over
# fuzz/corpus/<target> to commit it). Findings stay in build-fuzz/findings/<target>.
# Not part of CI. Usage: scripts/fuzz-campaign.sh CPU_SECONDS [TARGET...]
# Prints one line per target: runs, CPU seconds, findings, corpus files and size. A second call
# with a larger budget continues each target from its corpus and its CPU count.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
budget=${1:?usage: scripts/fuzz-campaign.sh CPU_SECONDS [TARGET...]}
shift
cd "$root"
CC=clang CXX=clang++ cmake -S "$root" -B build-fuzz -G Ninja -DFUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzzers -j "$(nproc)" >/dev/null
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=($(ls fuzz/corpus))
testdata="$root/../shared/testdata"

# CPU seconds (user + system) used so far by the finished children of process $1.
children_cpu() {
  awk -v hz="$(getconf CLK_TCK)" '{ print int(($16 + $17) / hz) }' "/proc/$1/stat"
}

for name in "${targets[@]}"; do
  target="build-fuzz/fuzz/fuzz_$name"
  [ -x "$target" ] || { echo "$name: no such target" >&2; continue; }
  work="build-fuzz/campaign/$name"
  findings="build-fuzz/findings/$name"
  mkdir -p "$work" "$findings"
  seeds=("fuzz/corpus/$name")
  if [ -d "$testdata" ] && [ -f "fuzz/fuzz_$name.folders" ]; then
    while read -r folder; do
      [ -n "$folder" ] && [ -d "$testdata/$folder" ] && seeds+=("$testdata/$folder")
    done <"fuzz/fuzz_$name.folders"
  fi
  options=()
  case $name in
  exif) dict=jpeg ;;
  *) dict=$name ;;
  esac
  [ -f "fuzz/dict/$dict.dict" ] && options+=("-dict=fuzz/dict/$dict.dict")
  (
    me=$BASHPID
    # CPU seconds spent on this target so far, kept across runs of this script: a later run
    # with a larger budget goes on where the last one stopped.
    spent_file="build-fuzz/campaign/$name.cpu"
    spent=$(cat "$spent_file" 2>/dev/null || echo 0)
    runs=0
    log="build-fuzz/campaign/$name.log"
    while [ "$spent" -lt "$budget" ]; do
      left=$((budget - spent))
      chunk=$((left < 120 ? left + 1 : 120))
      before=$(children_cpu "$me")
      "$target" -max_total_time="$chunk" -rss_limit_mb=2048 -timeout=60 -print_final_stats=1 \
        -artifact_prefix="$findings/" "${options[@]}" "$work" "${seeds[@]}" >>"$log" 2>&1 || true
      spent=$((spent + $(children_cpu "$me") - before))
      echo "$spent" >"$spent_file"
      runs=$((runs + $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$' || echo 0)))
      # After a finding, go on from where it stopped; the finding stays in $findings.
    done
    # Only small inputs go into the committed corpus, and it stays within about 400 KB: the
    # largest input size is halved until the minimised set fits. The large seeds come from the
    # shared test data on every run anyway.
    merged="build-fuzz/campaign/$name.merged"
    small="build-fuzz/campaign/$name.small"
    for cap in 16 8 4 2; do
      rm -rf "$merged" "$small"
      mkdir -p "$merged" "$small"
      find "fuzz/corpus/$name" "$work" -type f -size -"$cap"k -exec cp -t "$small" {} +
      "$target" -merge=1 -rss_limit_mb=2048 -timeout=60 "$merged" "$small" >/dev/null 2>&1
      [ $(($(du -sb "$merged" | cut -f1) / 1024)) -le 400 ] && break
    done
    echo "$name: $runs runs in this call, $spent CPU s in all, $(ls "$findings" | wc -l) findings," \
      "corpus $(ls "$merged" | wc -l) files, $(($(du -sb "$merged" | cut -f1) / 1024)) KB"
  )
done
