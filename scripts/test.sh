#!/usr/bin/env bash
# Installs the dependencies, builds and runs every test. Under CI (CI=true) it also runs the
# suite once more under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests
# under ThreadSanitizer, and a short fuzz run.
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
  echo "== thread-sanitizer run of the threaded tests =="
  # The targets holding tests labelled `threads`; a new threaded test target goes here too.
  # The composer's and the command-line runner's tests in batch_tests are single-threaded and
  # slow under the sanitizer, so they are left out; so are the runner fault tests, whose peak
  # memory figure the sanitizer's shadow memory would swell. Of the main window's feed tests the
  # table of feed contents is left out: each case repaints the whole window, and the hand-off
  # from the worker to the window is the same in every case (the other feed tests cover it).
  thread_targets=(thread_tests batch_tests feed_tests main_window_feed_tests)
  tsan_start=$(date +%s)
  cmake -S "$root" -B build-tsan -G Ninja -DBUILD_TESTING=ON -DSANITIZE=thread -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build-tsan -j "$(nproc)" --target "${thread_targets[@]}"
  (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" ctest -L threads -E '^(MarkComposer|Runner|RunnerFaults)\.|^MainDlgFeed\.ShowsTheVersionLineLinkStripAndPage$' --output-on-failure -j "$(nproc)")
  echo "thread-sanitizer run: $(($(date +%s) - tsan_start)) s"
  echo "== short fuzz run =="
  scripts/fuzz.sh 20
fi
