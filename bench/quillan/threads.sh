#!/usr/bin/env bash
# The vectoriser on all hardware threads against one thread (QUILLAN_THREADS=1), on A0 sheets
# tiled from the real scans: whole conversions, alternating the two so that the load of the
# machine falls on both alike. Prints medians, spreads (min-max), the speed-up of the medians,
# the peak resident memory, the cores the threaded runs really had (processor time / elapsed
# time: on a machine busy with other work far fewer than the threads) and the load average
# before and after.
# Usage: threads.sh BUILD WORK [RUNS]   (run.sh calls it; WORK holds the prepared images)
set -euo pipefail
build=$1
work=$2
runs=${3:-${QUILLAN_BENCH_RUNS:-5}}
threads=$(nproc)
echo "threads: 1 against $threads, $runs alternating runs each; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %9s %12s %13s %12s %13s %8s %6s %6s\n' image polylines "1 thread s" spread "$threads threads s" spread speedup cores rss_MB
for name in sheet-a0 page-a0 edges-a0; do
  img="$work/$name.bmp"
  [ -e "$img" ] || continue
  one=(); many=(); cores=(); blocks=0; rss=0
  for _ in $(seq "$runs"); do
    read -r t _ b < <(QUILLAN_THREADS=1 "$build/bin/quillan_bench" "$img" "$work/scratch.bmp" "$work/$name.1.RVL")
    one+=("$t"); blocks=$b
    read -r t r _ c < <(QUILLAN_THREADS=$threads "$build/bin/quillan_bench" "$img" "$work/scratch.bmp" "$work/$name.n.RVL")
    many+=("$t"); rss=$r; cores+=("$(awk -v c="$c" -v t="$t" 'BEGIN{printf "%.2f", c / t}')")
  done
  if ! cmp -s "$work/$name.1.RVL" "$work/$name.n.RVL"; then
    echo "$name: the RVL files of 1 and $threads threads differ" >&2
    exit 1
  fi
  stats() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END{m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%.3f %.3f-%.3f\n", m, v[1], v[NR]}'; }
  read -r m1 s1 < <(stats "${one[@]}")
  read -r mn sn < <(stats "${many[@]}")
  read -r mc _ < <(stats "${cores[@]}")
  awk -v n="$name" -v b="$blocks" -v m1="$m1" -v s1="$s1" -v mn="$mn" -v sn="$sn" -v c="$mc" -v r="$rss" 'BEGIN{
    printf "%-9s %9d %12.3f %13s %12.3f %13s %7.2fx %6.2f %6.0f\n", n, b, m1, s1, mn, sn, m1 / mn, c, r / 1024 }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
