#!/usr/bin/env bash
# Builds the trace grid benchmark in Release and runs it on a generated A0 sheet and, when
# ../shared/data is there, on the vectorised line work of the 1926 Paris sheet.
# Usage: bench/model/run.sh [build folder]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
bash scripts/ensure-deps.sh bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNURIVO_BENCH=ON -DNURIVO_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_tracegrid -j 4 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/bench_tracegrid" "$PWD/../shared/data"
