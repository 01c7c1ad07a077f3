#!/usr/bin/env bash
# Builds everything with warnings as errors under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs the fuzzers briefly, then every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)

# Fuzz targets (clang's libFuzzer), a short run each.
if [ -f fuzz/CMakeLists.txt ]; then
  cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DKORVEL_TESTS=OFF \
        -DKORVEL_FUZZ=ON >/dev/null
  cmake --build build/fuzz -j"$jobs" --target fuzzers
  for f in build/fuzz/fuzz/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus=build/fuzz/corpus/$name; mkdir -p "$corpus"
    seeds=fuzz/seeds/${name#fuzz_}
    echo "fuzzing $name"
    "$f" -max_total_time="${KORVEL_FUZZ_SECONDS:-20}" -timeout=5 -rss_limit_mb=2048 "$corpus" \
         $( [ -d "$seeds" ] && echo "$seeds" ) >build/fuzz/$name.log 2>&1 \
      || { tail -50 build/fuzz/$name.log; echo "fuzzer $name failed"; exit 1; }
    grep -E "^Done [0-9]+ runs" build/fuzz/$name.log || tail -1 build/fuzz/$name.log
  done
fi

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DKORVEL_WERROR=ON -DKORVEL_SANITIZE=ON >/dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"
