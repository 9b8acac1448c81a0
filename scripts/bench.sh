#!/usr/bin/env bash
# Builds and runs every benchmark, printing its figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENZA_BUILD_BENCH=ON -DQUENZA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
for b in build-bench/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
