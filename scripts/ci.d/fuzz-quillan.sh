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
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillan-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
set +e
TMPDIR="$scratch" "$out/fuzz_quillan" -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" >"$out/last-run.log" 2>&1
status=$?
set -e
tail -n 12 "$out/last-run.log"
if [ "$status" -ne 0 ]; then
  echo "fuzz-quillan: failed (exit $status); the input is in $out/, the log in $out/last-run.log" >&2
fi
exit "$status"
