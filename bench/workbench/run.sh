#!/usr/bin/env bash
# The workbench's sheet view on an A1 sheet at 400 dpi with 5000 figures (bench/render's):
# 100-pixel scrolls with an operator's pause in the event loop between them, repaint and the
# edit of one figure through the kept picture at divisors 1, 2, 4 and 8 against a bare
# drawImage of the view, every step compared with a full Draw; run REPEATS times (default 3),
# as the machine's load varies, with the first scroll after a pause of 30 ms and of 200 ms
# after opening. Then opening the sheet from disk with its RVL and ZKI files to the first
# painted view against the load with its reductions, and the magnifier's paint, A1 against
# 500 x 500.
# Usage: bench/workbench/run.sh [build folder] [folder for the generated sheet files]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
files=${2:-${TMPDIR:-/tmp}/nurivo-bench-workbench}
bash scripts/bench-build.sh "$build" bench_keptpicture bench_workbench
for run in $(seq "${REPEATS:-3}"); do
  for opening in 30 200; do
    echo "run $run: $(uptime)"
    QT_QPA_PLATFORM=offscreen "$build/bin/bench_keptpicture" "$PWD/../shared/data" 0 30 "$opening"
  done
done
QT_QPA_PLATFORM=offscreen "$build/bin/bench_workbench" "$PWD/../shared/data" "$files"
