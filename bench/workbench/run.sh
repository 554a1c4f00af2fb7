#!/usr/bin/env bash
# The workbench's sheet view on an A1 sheet at 400 dpi with 5000 figures (bench/render's):
# repaint, 100-pixel scrolls and the edit of one figure through the kept picture at divisors
# 1, 2, 4 and 8 against a bare drawImage of the view, every step compared with a full Draw;
# then opening the sheet from disk with its RVL and ZKI files to the first painted view against
# the load with its reductions, and the magnifier's paint, A1 against 500 x 500.
# Usage: bench/workbench/run.sh [build folder] [folder for the generated sheet files]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
files=${2:-${TMPDIR:-/tmp}/nurivo-bench-workbench}
bash scripts/bench-build.sh "$build" bench_keptpicture bench_workbench
QT_QPA_PLATFORM=offscreen "$build/bin/bench_keptpicture" "$PWD/../shared/data"
QT_QPA_PLATFORM=offscreen "$build/bin/bench_workbench" "$PWD/../shared/data" "$files"
