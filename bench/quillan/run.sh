#!/usr/bin/env bash
# Vectoriser benchmark: prepares one-bit work images from ../shared/data, then on the same
# pixels runs our whole conversion (thinning, node points, tracing, simplification, RVL file)
# and the thinning call alone of scikit-image and OpenCV, one core each, and prints the times,
# the ratios and our peak resident memory; then our conversion on all threads against one
# thread on the A0 sheets (threads.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
data=${NURIVO_BENCH_DATA:-$PWD/../shared/data}
if [ ! -e "$data/paris-1926-sheet4-train-edges.png" ] && [ ! -e "$data/scan-page-8071-g4.tif" ]; then
  echo "quillan bench: no images in $data, skipped"
  exit 0
fi
py=/usr/bin/python3
build=build/bench-quillan
bash scripts/bench-build.sh "$build" quillan_bench
have_opencv=0
if cmake --build "$build" --target quillan_bench_opencv -j 4 >/dev/null 2>&1; then
  have_opencv=1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillan-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$py" bench/quillan/prepare.py "$data" "$work"

printf '%-11s %12s %10s %9s %10s %8s %10s %8s\n' image size quillan_s rss_MB skimage_s ratio opencv_s ratio
# One thread here, like the peers.
for name in edges-1926 g4-page edges-a0 sheet-a0; do
  img="$work/$name.bmp"
  [ -e "$img" ] || continue
  size=$("$py" -c "import sys;d=open(sys.argv[1],'rb').read(26);print('%dx%d'%(int.from_bytes(d[18:22],'little'),int.from_bytes(d[22:26],'little')))" "$img")
  # Best of three for our conversion; each run works on a fresh copy of the image.
  best=""; rss=0
  for _ in 1 2 3; do
    read -r t r _ < <(QUILLAN_THREADS=1 "$build/bin/quillan_bench" "$img" "$work/scratch.bmp" "$work/$name.RVL")
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$t; fi
    rss=$r
  done
  sk=$(OMP_NUM_THREADS=1 "$py" bench/quillan/peer_skimage.py "$img")
  cv="-"
  if [ "$have_opencv" = 1 ]; then cv=$("$build/bin/quillan_bench_opencv" "$img"); fi
  awk -v n="$name" -v s="$size" -v q="$best" -v r="$rss" -v k="$sk" -v c="$cv" 'BEGIN{
    cr = (c == "-") ? "-" : sprintf("%.1fx", c / q);
    printf "%-11s %12s %10.3f %9.1f %10.3f %7.1fx %10s %8s\n", n, s, q, r / 1024, k, k / q, c, cr }'
done
echo "ratio = peer thinning time / our whole conversion time (higher is better)"
echo
bash bench/quillan/threads.sh "$build" "$work"
