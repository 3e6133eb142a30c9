#!/usr/bin/env bash
# Runs the collector under valgrind's memcheck over a few passes of mixed scenarios from the
# device emulator: long documents, an owned socket, a pass without records, pretty output, a
# full standard output and a failing device. Fails on any memcheck error or definite leak,
# or when the collector's exit status is not the expected one.
# Usage: run_memcheck.sh COLLECTOR EMULATOR_LIBRARY SANITIZED(0|1)
set -uo pipefail
collector=$1
emulator=$2
sanitized=$3
skip=77
if [ "$sanitized" = 1 ]; then
  echo "memcheck skipped: this build already runs under AddressSanitizer"
  exit $skip
fi
if ! command -v valgrind >/dev/null 2>&1; then
  echo "memcheck skipped: valgrind is not installed"
  exit $skip
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/wirelens-memcheck-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Older valgrind releases cannot read every debug-information format (clang 14 writes
# DWARF 5); such a build is skipped, the g++ build is checked.
if ! valgrind --quiet --log-file="$work/probe.valgrind" "$collector" -h 2>/dev/null ||
  grep -q "can't recover" "$work/probe.valgrind"; then
  echo "memcheck skipped: valgrind cannot run this build ($(grep -m1 -o 'debuginfo reader.*' "$work/probe.valgrind" || echo 'see its log'))"
  exit $skip
fi

# name | expected exit status | stdout target | arguments | scenario (\n-separated)
scenarios=(
  "mixed|1|pipe|-i 1e-10|pass\nsynthetic 300 seed 5\npass\nsocket state=ESTABLISHED localPort=443 socketId=own\nsocket state=LISTEN localPort=22\npass\nbytes 0\ndefault\nheader version=2"
  "pretty|0|pipe|-p -c 2 -i 1e-10|synthetic 40 seed 9"
  "full-stdout|1|/dev/full|-c 2|synthetic 20 seed 2"
  "no-device|1|pipe|-c 1|open /dev/wirelens-full ENOENT\nopen /dev/wirelens ENOENT"
  "short-read|1|pipe|-c 1|synthetic 3 seed 1\nbytes 700"
)

failed=0
for entry in "${scenarios[@]}"; do
  IFS='|' read -r name expected target arguments scenario <<<"$entry"
  printf '%b\n' "$scenario" >"$work/$name.txt"
  log="$work/$name.valgrind"
  # The emulator is preloaded through the environment, which valgrind passes on.
  # shellcheck disable=SC2086
  if [ "$target" = pipe ]; then
    LD_PRELOAD="$emulator" WIRELENS_EMULATOR_SCENARIO="$work/$name.txt" \
      valgrind --quiet --error-exitcode=99 --leak-check=full \
      --errors-for-leak-kinds=definite,indirect --log-file="$log" \
      "$collector" $arguments 2>"$work/$name.err" | cat >"$work/$name.out"
    status=${PIPESTATUS[0]}
  else
    LD_PRELOAD="$emulator" WIRELENS_EMULATOR_SCENARIO="$work/$name.txt" \
      valgrind --quiet --error-exitcode=99 --leak-check=full \
      --errors-for-leak-kinds=definite,indirect --log-file="$log" \
      "$collector" $arguments 2>"$work/$name.err" >"$target"
    status=$?
  fi
  if [ "$status" != "$expected" ] || [ -s "$log" ]; then
    echo "memcheck $name: exit status $status (expected $expected)"
    cat "$log" "$work/$name.err"
    failed=1
  else
    echo "memcheck $name: clean, exit status $status"
  fi
done
exit $failed
