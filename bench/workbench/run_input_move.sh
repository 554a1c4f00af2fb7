#!/usr/bin/env bash
# Times a mouse move of figure input (snapping on, a 50-point polygon in progress) over a
# 1920 x 1080 view of an A1 sheet at 400 dpi with 5000 figures, with the repaints it asks for,
# against a bare drawImage of the view, in one process.
# Usage: bench/workbench/run_input_move.sh [build folder]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
bash scripts/bench-build.sh "$build" bench_input_move
QT_QPA_PLATFORM=offscreen "$build/bin/bench_input_move" "$PWD/../shared/data"
