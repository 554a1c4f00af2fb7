#!/usr/bin/env bash
# Opening a sheet in the workbench against the load of its raster with the two reductions, on
# one-bit sheets at 400 dpi tiled from the real G4 scan of ../shared/data: A1 (9400 x 13200)
# and A0 (13200 x 18700), each with its line work vectorised from the sheet itself and 5000
# figures. The sheets and their RVL files are kept in the files folder for the next run.
# Further sheets (with their RVL and ZKI files beside them, or made) may follow, such as the
# A1 line-work sheet that bench/workbench/run.sh keeps in ${TMPDIR:-/tmp}/nurivo-bench-workbench.
# Usage: bench/opening/run.sh [build folder] [files folder] [pairs] [sheet...]
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
build=${1:-build/bench}
work=${2:-${TMPDIR:-/tmp}/nurivo-bench-opening}
pairs=${3:-9}
data=$repo/../shared/data
mkdir -p "$work"

bash scripts/bench-build.sh "$build" bench_opening

. bench/common/sheets.sh
need_data "$data" scan-page-8071-g4.tif
g4=$data/scan-page-8071-g4.tif # 3312 x 2550, one bit
[ -e "$work/a1-1bit.tif" ] || tile "$g4" 3 6 9400 13200 "$work/a1-1bit.tif[compression=ccittfax4,bitdepth=1]"
[ -e "$work/a0-1bit.tif" ] || tile "$g4" 4 8 13200 18700 "$work/a0-1bit.tif[compression=ccittfax4,bitdepth=1]"
uptime
for sheet in "$work/a1-1bit.tif" "$work/a0-1bit.tif" "${@:4}"; do
  QT_QPA_PLATFORM=offscreen "$build/bin/bench_opening" "$sheet" "$pairs" || true
done
uptime
