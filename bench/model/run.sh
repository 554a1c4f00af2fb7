#!/usr/bin/env bash
# Builds the model benchmarks in Release and runs them: the trace grid on a generated A0 sheet
# and, when ../shared/data is there, on the vectorised line work of the 1926 Paris sheet; then
# the layer definition file load against row-by-row placement.
# Usage: bench/model/run.sh [build folder]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
bash scripts/bench-build.sh "$build" bench_tracegrid bench_layerload
QT_QPA_PLATFORM=offscreen "$build/bin/bench_tracegrid" "$PWD/../shared/data"
"$build/bin/bench_layerload"
