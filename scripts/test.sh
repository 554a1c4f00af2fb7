#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: once as a normal build with warnings
# as errors, once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-deps.sh test
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNURIVO_WERROR=ON
cmake --build build/test -j "$jobs"
(cd build/test && ctest --output-on-failure -j "$jobs")

# Further checks that are not unit tests (short fuzzing runs and the like).
for step in scripts/ci.d/*.sh; do
  [ -e "$step" ] || continue
  echo "== $step"
  bash "$step"
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNURIVO_WERROR=ON -DNURIVO_SANITIZE=ON
cmake --build build/sanitize -j "$jobs"
(cd build/sanitize && NURIVO_SANITIZED=1 ctest --output-on-failure -j "$jobs")
