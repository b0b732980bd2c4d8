#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs the main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh build -DBUILD_TESTING=OFF
# FIXME: runs the image tool on a bundled sample until the batch runner lands.
build/tools/tessmark-image info res/samples/sample.bmp
