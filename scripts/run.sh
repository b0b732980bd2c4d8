#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs the main job: the photographs of
# res/job/photos watermarked with res/job/mark.png into build/job-output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh build -DBUILD_TESTING=OFF
output="$root/build/job-output"
# The runner keeps its settings in build/tools/config.ini; --set writes the job there first.
build/tools/tessmark-batch \
  --set SrcFileType=0 \
  --set "SrcFolderSite=$root/res/job/photos" \
  --set "WaterMarkFileSite=$root/res/job/mark.png" \
  --set "OutputFolderSite=$output" \
  --set PosType=3 --set PosX=20 --set PosY=20
echo "The watermarked pictures are in $output"
