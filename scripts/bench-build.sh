#!/usr/bin/env bash
# Installs what the benchmarks need and builds the named targets in Release.
# Usage: scripts/bench-build.sh BUILD_FOLDER TARGET...
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
shift
bash scripts/ensure-deps.sh bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNURIVO_BENCH=ON -DNURIVO_TESTS=OFF >/dev/null
cmake --build "$build" --target "$@" -j 4 >/dev/null
