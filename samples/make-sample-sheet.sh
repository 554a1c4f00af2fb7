#!/usr/bin/env bash
# Remakes sample-sheet.tif from the dataset's edge map (see README.md).
set -euo pipefail
src=${1:-"$(dirname "$0")/../../shared/data/paris-1898-sheet4-edges.png"}
convert "$src" -crop 2400x1800+1500+2000 +repage -morphology Dilate Square:1 -negate \
  -threshold 50% -type bilevel -density 300 -units PixelsPerInch -compress Group4 \
  "$(dirname "$0")/sample-sheet.tif"
