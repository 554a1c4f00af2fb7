#!/usr/bin/env bash
# Builds the trace grid benchmark in Release and runs it on a generated A0 sheet and, when
# ../shared/data is there, on the vectorised line work of the 1926 Paris sheet.
# Usage: bench/model/run.sh [build folder]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
bash scripts/bench-build.sh "$build" bench_tracegrid
QT_QPA_PLATFORM=offscreen "$build/bin/bench_tracegrid" "$PWD/../shared/data"
