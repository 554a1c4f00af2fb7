#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts nurivo on the sample sheet.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNURIVO_TESTS=OFF
cmake --build build/release -j "$(nproc)"
if [ ! -x build/release/bin/nurivo ]; then
  echo "nurivo does not start yet: its program entry is not built; the libraries and trelvex are in build/release/bin."
  exit 0
fi
sheet="$PWD/samples/sample-sheet.tif"
# Stand-alone command line: kind 1, four layers, recognise end points, folders beside the sheet.
cd build/release/bin
exec ./nurivo 1 4 1 "$PWD" "$(dirname "$sheet")" "$(dirname "$sheet")" . "$(basename "$sheet")"
