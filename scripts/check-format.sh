#!/usr/bin/env bash
# Fails when a C or C++ file of the tree differs from the house format (.clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not in the house format: $file (run clang-format -i $file)"
    status=1
  fi
done < <(git ls-files -z '*.c' '*.cpp' '*.h')
exit $status
