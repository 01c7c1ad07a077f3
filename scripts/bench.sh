#!/usr/bin/env bash
# Builds the optimised benchmarks and runs each one; they print their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF -DKORVEL_BENCH=ON >/dev/null
cmake --build build/bench -j"$(nproc)"
for b in build/bench/bin/bench_*; do
  [ -x "$b" ] || continue
  case "$b" in *.py|*.sh) continue;; esac
  echo "== $(basename "$b")"
  QT_QPA_PLATFORM=offscreen "$b"
done
