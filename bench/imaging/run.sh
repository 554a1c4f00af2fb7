#!/usr/bin/env bash
# Builds A1 and A0 sheets at 400 dpi by tiling the real rasters of ../shared/data, then times
# our load with the half and quarter reductions and the work-image write against vips making
# the same two reductions (box averaging, `vips shrink`) from the same file.
# Usage: bench/imaging/run.sh [build folder]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
build=${1:-build/bench}
data=$repo/../shared/data
work=$(mktemp -d "${TMPDIR:-/tmp}/nurivo-bench-imaging-XXXXXX")
trap 'rm -rf "$work"' EXIT

bash scripts/bench-build.sh "$build" bench_imaging
bench=$build/bin/bench_imaging

. bench/common/sheets.sh
need_data "$data" scan-page-8071-g4.tif paris-1926-sheet4-train-edges.png
g4=$data/scan-page-8071-g4.tif            # 3312 x 2550, one bit
grey=$data/paris-1926-sheet4-train-edges.png  # 9000 x 4500, eight-bit grey
tile "$g4" 3 6 9400 13200 "$work/a1-1bit.tif[compression=ccittfax4,bitdepth=1]"
tile "$g4" 4 8 13200 18700 "$work/a0-1bit.tif[compression=ccittfax4,bitdepth=1]"
tile "$grey" 2 3 9400 13200 "$work/a1-8bit.png[compression=1]"
tile "$grey" 2 5 13200 18700 "$work/a0-8bit.png[compression=1]"
# Colour sheets: the grey sheets tinted differently in each band.
for size in a1 a0; do
  vips linear "$work/$size-8bit.png" "$work/r.v" 1 0 --uchar
  vips linear "$work/$size-8bit.png" "$work/g.v" 0.6 60 --uchar
  vips linear "$work/$size-8bit.png" "$work/b.v" 0.3 120 --uchar
  vips bandjoin "$work/r.v $work/g.v $work/b.v" "$work/$size-24bit.png[compression=1]"
  rm -f "$work/r.v" "$work/g.v" "$work/b.v"
done

peak() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1; } # seconds, peak kB

row() { printf "%-13s %11s %6s %7s %6s %6s %7s %8s %8s %8s %8s %7s\n" "$@"; }
row sheet pixels load quarter half ours vips work-img "ours MB" "+work MB" "1B/px MB" "vips MB"
for sheet in a1-1bit.tif a0-1bit.tif a1-8bit.png a0-8bit.png a1-24bit.png a0-24bit.png; do
  out=$("$bench" "$work/$sheet" "$work/work.TMP")
  get() { awk -v k="$1" '$1 == k { print $2 }' <<<"$out"; }
  read -r vq_s vq_kb < <(peak vips shrink "$work/$sheet" "$work/q.v" 4 4)
  read -r vh_s vh_kb < <(peak vips shrink "$work/$sheet" "$work/h.v" 2 2)
  rm -f "$work/q.v" "$work/h.v" "$work/work.TMP"
  vips_s=$(awk -v a="$vq_s" -v b="$vh_s" 'BEGIN { printf "%.2f", a + b }')
  vips_mb=$(awk -v a="$vq_kb" -v b="$vh_kb" 'BEGIN { printf "%.0f", (a > b ? a : b) / 1024 }')
  size=$(get size)
  bytes_mb=$(awk -v s="$size" 'BEGIN { split(s, d, "x"); printf "%.0f", d[1] * d[2] / 1048576 }')
  row "$sheet" "$size" "$(get load)" "$(get quarter)" "$(get half)" "$(get load+reductions)" "$vips_s" \
    "$(get work-image)" "$(get peak-rss)" "$(get peak-rss-all)" "$bytes_mb" "$vips_mb"
done
echo "seconds; ours = load + quarter + half in one process; vips = the two 'vips shrink' runs (each loads the file)"
echo "ours MB = peak resident memory through load and reductions, +work MB = also writing the work image"
