#!/usr/bin/env bash
# Builds A1 sheets at 400 dpi (9400 x 13200) by tiling the real rasters of ../shared/data (a
# one-bit G4 TIFF and an eight-bit PNG), then times "表示" of the raster picker on each, with
# 5000 figures beside it, against loading the same file alone (15 alternating pairs, one process).
# Usage: bench/dialogs/run.sh [build folder]   (default build/bench; NURIVO_DATA names another data folder)
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
build=${1:-build/bench}
data=${NURIVO_DATA:-$repo/../shared/data}
work=$(mktemp -d "${TMPDIR:-/tmp}/nurivo-bench-picker-XXXXXX")
trap 'rm -rf "$work"' EXIT

bash scripts/bench-build.sh "$build" bench_picker

. bench/common/sheets.sh
need_data "$data" scan-page-8071-g4.tif paris-1926-sheet4-train-edges.png
tile "$data/scan-page-8071-g4.tif" 3 6 9400 13200 "$work/a1-1bit.tif[compression=ccittfax4,bitdepth=1]"
tile "$data/paris-1926-sheet4-train-edges.png" 2 3 9400 13200 "$work/a1-8bit.png[compression=1]"

uptime
for sheet in a1-1bit.tif a1-8bit.png; do
  echo "== $sheet"
  QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work "$build/bin/bench_picker" "$work/$sheet"
done
uptime
