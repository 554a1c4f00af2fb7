#!/usr/bin/env bash
# Times the workbench's sheet view painted from its kept picture (repaint, 100-pixel scrolls,
# the edit of one figure) on an A1 sheet at 400 dpi with 5000 figures, at divisors 1, 2, 4 and
# 8, against a bare drawImage of the view, in one process; every step is compared with a full
# Draw of the view.
# Usage: bench/workbench/run.sh [build folder]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
bash scripts/bench-build.sh "$build" bench_keptpicture
QT_QPA_PLATFORM=offscreen "$build/bin/bench_keptpicture" "$PWD/../shared/data"
