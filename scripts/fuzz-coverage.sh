#!/usr/bin/env bash
# Line coverage of each codec by its committed fuzz corpus: builds the fuzz targets with clang's
# source-based coverage in build-cov, runs every corpus file once and prints llvm-cov's line figures.
# Not part of CI. Usage: scripts/fuzz-coverage.sh [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ cmake -S "$root" -B build-cov -G Ninja -DFUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build build-cov --target fuzzers -j 2 >/dev/null
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=($(ls fuzz/corpus))
declare -A sources=([bmp]=PictureBMP [png]=PicturePNG [jpeg]=PictureJPG [exif]=ExifReader [gif]=PictureGIF
  [tiff]=PictureTIF [tga]=PictureTGA [pcx]=PicturePCX [wbmp]=PictureWBMP [ico]=PictureICO [wmf]=PictureWMF)
profiles=build-cov/profiles
mkdir -p "$profiles"
for name in "${targets[@]}"; do
  [ -d "fuzz/corpus/$name" ] || continue
  LLVM_PROFILE_FILE="$profiles/$name.profraw" ASAN_OPTIONS=detect_leaks=0 \
    "build-cov/fuzz/fuzz_$name" -runs=0 "fuzz/corpus/$name" >/dev/null 2>&1 || true
  llvm-profdata merge -sparse "$profiles/$name.profraw" -o "$profiles/$name.profdata"
  pattern="${sources[$name]:-Load}"
  [ "$name" = wmf ] && pattern="PictureWMF|MetafilePlayer"
  echo "== $name ($(ls "fuzz/corpus/$name" | wc -l) inputs, $(($(du -sb "fuzz/corpus/$name" | cut -f1) / 1024)) KB)"
  llvm-cov report "build-cov/fuzz/fuzz_$name" -instr-profile="$profiles/$name.profdata" |
    awk -v files="/($pattern)\\.cpp$" '$1 ~ files { printf "%s: lines %s of %s covered (%s)\n", $1, $8 - $9, $8, $10 }'
done
