#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang++ (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each for SECONDS, one at a time, from
# its committed seeds plus the corpus gathered by earlier runs (build/fuzz/corpus). Exits
# non-zero on the first finding; the input that caused it is kept in build/fuzz/findings.
# Without clang's fuzzer runtime it says so in one line and exits 0.
#
#   scripts/fuzz.sh SECONDS [TARGET...]     (targets: the names under tests/fuzz/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift

cxx=${WIRELENS_FUZZ_CXX:-clang++}
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$probe_dir/probe.cpp"
if ! command -v "$cxx" >/dev/null 2>&1 ||
  ! "$cxx" -fsanitize=fuzzer,address,undefined "$probe_dir/probe.cpp" -o "$probe_dir/probe" \
    >/dev/null 2>&1; then
  echo "fuzz: skipped: $cxx cannot build libFuzzer targets (they need clang and libclang-rt-14-dev)"
  exit 0
fi

build=build/fuzz
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWIRELENS_FUZZ=ON -DWIRELENS_TESTS=OFF -DWIRELENS_WERROR=ON >/dev/null
if ! cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1; then
  cat "$build/build.log" >&2
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in "${targets[@]}"; do
  binary=$build/tests/fuzz/fuzz_$target
  if [ ! -x "$binary" ]; then
    echo "fuzz: no target named $target" >&2
    exit 2
  fi
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  log=$build/$target.log
  echo "== fuzz $target, ${seconds} s"
  if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz: $target found a fault; inputs in $findings, log in $log" >&2
    exit 1
  fi
  # The run's last status line and its totals.
  grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1 || true
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
done
echo "fuzz: no findings"
