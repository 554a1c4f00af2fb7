#!/usr/bin/env bash
# Times KXDraw::Draw of a 1920 x 1080 view of an A1 sheet at 400 dpi (the line work of
# ../shared/data tiled to 9400 x 13200, 5000 figures) at divisors 1, 2, 4 and 8 against a bare
# QPainter::drawImage of the same area from a ready 32-bit image, in one process.
# Usage: bench/render/run.sh [build folder] [folder to save the views in]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/bench}
bash scripts/bench-build.sh "$build" bench_kxdraw
QT_QPA_PLATFORM=offscreen "$build/bin/bench_kxdraw" "$PWD/../shared/data" "${2:-}"
