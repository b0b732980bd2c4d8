#!/usr/bin/env bash
# Installs the dependencies, builds and runs every test. Under CI (CI=true) it also runs the
# suite once more under AddressSanitizer and UndefinedBehaviorSanitizer and a short fuzz run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/check-format.sh

scripts/build.sh build -DBUILD_TESTING=ON
(cd build && ctest --output-on-failure -j "$(nproc)")

if [ "${CI:-}" = "true" ] || [ "${TESSMARK_SANITIZE:-}" = "1" ]; then
  echo "== sanitizer build =="
  scripts/build.sh build-asan -DSANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$(nproc)")
  echo "== short fuzz run =="
  scripts/fuzz.sh 20
fi
