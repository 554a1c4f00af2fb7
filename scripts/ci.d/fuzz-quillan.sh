#!/usr/bin/env bash
# A short libFuzzer run over the vectoriser's work-image reader and conversion; a crash, a
# sanitizer report or a mismatch with the plain conversion fails the check.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${QUILLAN_FUZZ_SECONDS:-60}
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$cxx" ]; then
  echo "fuzz-quillan: clang++ not found" >&2
  exit 1
fi
out=build/fuzz-quillan
mkdir -p "$out/corpus"
"$cxx" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -ffp-contract=off \
  -Iquillan -Itests/quillan quillan/*.cpp tests/quillan/fuzz_quillan.cpp -o "$out/fuzz_quillan"
# Each run starts from scratch files of its own; the fuzzer's scratch folder goes afterwards.
"$out/fuzz_quillan" -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" 2>&1 | tail -n 15
status=${PIPESTATUS[0]}
rm -rf /tmp/quillan-fuzz-*
exit "$status"
