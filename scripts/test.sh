#!/bin/sh
# Configures, builds and runs every test. On Linux: a g++ build, a clang++ build (both
# warning-free with -Wall -Wextra -Werror), and the whole suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer. Elsewhere (FreeBSD): one -Werror build with the default
# compiler ($CXX, else c++). Ninja is used where it is installed. Benchmarks are built and
# each run once, briefly, so that they keep compiling and running. Checks whose tools are
# missing (GoogleTest, jq, mandoc, ...) are skipped with a one-line note.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2)
generator=
if command -v ninja >/dev/null 2>&1; then generator=Ninja; fi

step() { printf '== %s\n' "$*"; }

# run_suite BUILD_DIR CMAKE_ARGS...: configure, build, run every CTest test.
run_suite() {
  dir=$1
  shift
  cmake -S . -B "$dir" ${generator:+-G "$generator"} -DWIRELENS_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

if [ "$(uname -s)" = Linux ]; then
  step "g++"
  run_suite build/gcc -DCMAKE_CXX_COMPILER=g++ -DWIRELENS_BENCH=ON
  step "clang++"
  run_suite build/clang -DCMAKE_CXX_COMPILER=clang++
  step "g++ with AddressSanitizer and UndefinedBehaviorSanitizer"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build/sanitize -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Debug \
    -DWIRELENS_SANITIZE=ON
  bench_build=build/gcc
else
  step "${CXX:-c++}"
  run_suite build/default -DCMAKE_CXX_COMPILER="${CXX:-c++}" -DWIRELENS_BENCH=ON
  bench_build=build/default
fi

# valgrind's memcheck runs inside the suites above, as a CTest test of its own.
step "fuzz targets, 15 s each (clang++ with libFuzzer; skipped without it)"
if command -v bash >/dev/null 2>&1; then
  scripts/fuzz.sh 15
else
  echo "fuzz: skipped: scripts/fuzz.sh needs bash"
fi

if [ -x "$bench_build/bench/wirelens_bench" ]; then
  step "benchmarks, one brief run"
  "$bench_build/bench/wirelens_bench" --benchmark_min_time=0.01
fi
echo "All tests passed."
