#!/usr/bin/env bash
# Full print of "9 A0縦" at 1:500 of a one-bit A0 sheet (13200 x 18700, 400 dpi, the line work
# of ../shared/data tiled, 5000 figures) to a 400 dpi PDF through the print form, against
# KXDraw::Draw of the same page into a 32-bit image; each in its own process, with its time
# and its peak resident memory above the loaded drawing.
# Usage: bench/render/run-print.sh [build folder] [data folder]   (default build/bench, ../shared/data)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
data=$(realpath "${2:-../shared/data}")
bash scripts/bench-build.sh "$build" bench_print
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen
"$build/bin/bench_print" image "$data"
"$build/bin/bench_print" pdf "$data" "$out/a0.pdf"
echo "pdf size: $(du -m "$out/a0.pdf" | cut -f1) MB"
