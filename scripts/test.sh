#!/usr/bin/env bash
# Configures, builds and runs every test: a g++ build, a clang++ build (both warning-free
# with -Wall -Wextra -Werror), and the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer. Benchmarks are built and each run once, briefly, so that they
# keep compiling and running.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DWIRELENS_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== g++"
run_suite build/gcc -DCMAKE_CXX_COMPILER=g++ -DWIRELENS_BENCH=ON
echo "== clang++"
run_suite build/clang -DCMAKE_CXX_COMPILER=clang++
echo "== g++ with AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build/sanitize -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Debug -DWIRELENS_SANITIZE=ON

if [ -x build/gcc/bench/wirelens_bench ]; then
  echo "== benchmarks, one brief run"
  build/gcc/bench/wirelens_bench --benchmark_min_time=0.01
fi
echo "== fuzz targets, 15 s each (clang++ with libFuzzer; skipped without it)"
scripts/fuzz.sh 15

echo "All tests passed."
