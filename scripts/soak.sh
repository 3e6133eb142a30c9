#!/usr/bin/env bash
# Soak and limits: the real collector over the device emulator for many passes without a
# pause, its resident memory and open descriptors sampled from /proc as it runs, failing if
# either grows once the first passes are done; runs under low descriptor limits; standard
# output a pipe whose reader stalls for seconds (every document must arrive intact); and
# the full sweep of address-space limits at 100,000 sockets. Not part of scripts/test.sh:
# the long runs take minutes. Linux only (it reads /proc).
#
# Usage: scripts/soak.sh [BUILD_DIR]   (default build/gcc, configured and built if needed)
# SOAK_SMALL_PASSES (default 100000, at 1,000 sockets) and SOAK_LARGE_PASSES (default 1000,
# at 100,000 sockets) shorten the long runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/gcc}
small_passes=${SOAK_SMALL_PASSES:-100000}
large_passes=${SOAK_LARGE_PASSES:-1000}

if [ ! -x "$build/wirelens-reader" ] || [ ! -f "$build/tests/emulator/libwirelens_device_emulator.so" ]; then
  cmake -S . -B "$build" -G Ninja
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
fi
collector=$(realpath "$build/wirelens-reader")
emulator=$(realpath "$build/tests/emulator/libwirelens_device_emulator.so")
tests=$(realpath "$build/tests/wirelens_tests")

work=$(mktemp -d "${TMPDIR:-/tmp}/wirelens-soak-XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

scenario() {  # NAME TEXT: writes a scenario file, prints its path
  printf '%b\n' "$2" >"$work/$1.txt"
  echo "$work/$1.txt"
}

# A document is whole when it opens with the metadata and closes the summary.
check_documents() {  # FILE COUNT SOCKETS
  local file=$1 count=$2 sockets=$3
  awk -v want="$count" -v total="\"totalSockets\":$sockets," '
    index($0, "{\"metadata\":{") != 1 || substr($0, length($0) - 1) != "}}" || index($0, total) == 0 {
      bad++
    }
    index($0, "\"batchSequence\":\"" NR "\"") == 0 { order++ }
    END {
      if (NR != want || bad || order) {
        printf "%d documents (want %d), %d not whole, %d out of order\n", NR, want, bad, order
        exit 1
      }
    }' "$file"
}

# Runs the collector with stdout into a line counter, sampling VmRSS (KiB) and the number of
# open descriptors every half second. Fails when, after the first tenth of the samples, the
# resident size rises above the early peak by more than 2 % (at least 2 MiB), or the
# descriptors grow: a pass holds up to two of its own for a moment (the device, or the two
# /proc directories read where /proc stands in for the open-file table), so a later count
# may exceed the early peak by those two but the least later count must not exceed it. A
# descriptor lost per pass also ends the run itself once the limit is reached.
soak() {  # NAME PASSES SOCKETS
  local name=$1 passes=$2 sockets=$3
  local path samples="$work/$name.samples" fifo="$work/$name.fifo"
  path=$(scenario "$name" "synthetic $sockets seed 11")
  mkfifo "$fifo"
  wc -l <"$fifo" >"$work/$name.count" &
  local counter=$!
  local start=$SECONDS
  LD_PRELOAD="$emulator" WIRELENS_EMULATOR_SCENARIO="$path" \
    "$collector" -c "$passes" -i 1e-10 >"$fifo" 2>"$work/$name.err" &
  local pid=$!
  : >"$samples"
  while kill -0 "$pid" 2>/dev/null; do
    local rss fds
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    fds=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l || true)
    [ -n "$rss" ] && [ "$fds" -gt 0 ] && echo "$rss $fds" >>"$samples"
    sleep 0.5
  done
  local status=0
  wait "$pid" || status=$?
  wait "$counter"
  local elapsed=$((SECONDS - start))
  local documents
  documents=$(tr -d ' ' <"$work/$name.count")
  [ "$status" = 0 ] || fail "$name: exit status $status: $(cat "$work/$name.err")"
  [ "$documents" = "$passes" ] || fail "$name: $documents documents, want $passes"
  awk -v name="$name" -v passes="$passes" -v sockets="$sockets" -v elapsed="$elapsed" '
    { rss[NR] = $1; fds[NR] = $2 }
    END {
      if (NR < 4) { printf "%s: too short to sample (%d samples)\n", name, NR; exit 0 }
      early = int(NR / 10); if (early < 2) early = 2
      fmin0 = fmin1 = 1e9
      for (i = 1; i <= NR; i++) {
        if (i <= early) {
          if (rss[i] > r0) r0 = rss[i]
          if (fds[i] > f0) f0 = fds[i]
          if (fds[i] < fmin0) fmin0 = fds[i]
        } else {
          if (rss[i] > r1) r1 = rss[i]
          if (fds[i] > f1) f1 = fds[i]
          if (fds[i] < fmin1) fmin1 = fds[i]
        }
      }
      slack = r0 * 0.02; if (slack < 2048) slack = 2048
      printf "%s: %d passes at %d sockets in %d s; VmRSS early peak %d KiB, later peak %d KiB; descriptors %d-%d early, %d-%d later (%d samples)\n",
        name, passes, sockets, elapsed, r0, r1, fmin0, f0, fmin1, f1, NR
      if (r1 > r0 + slack) { print name ": resident memory grew"; exit 1 }
      if (fmin1 > f0 || f1 > f0 + 2) { print name ": descriptors grew"; exit 1 }
    }' "$samples" || fail "$name: growth"
}

echo "== soak"
soak small "$small_passes" 1000
soak large "$large_passes" 100000

echo "== descriptor limits"
path=$(scenario fds "synthetic 1000 seed 3")
status=0
# The collector starts with 0, 1 and 2 alone (whatever this script inherited is closed) and
# room for one descriptor more: the dynamic loader needs that one to start the program at
# all, and a pass needs no other.
(
  for fd in $(ls "/proc/$BASHPID/fd"); do
    if [ "$fd" -gt 2 ]; then eval "exec $fd>&-"; fi
  done 2>/dev/null
  ulimit -n 4 && LD_PRELOAD="$emulator" WIRELENS_EMULATOR_SCENARIO="$path" \
    exec "$collector" -c 200 -i 1e-10
) >"$work/fds.out" 2>"$work/fds.err" || status=$?
if [ "$status" = 0 ] && [ ! -s "$work/fds.err" ] && check_documents "$work/fds.out" 200 1000; then
  echo "descriptor limit 4: 200 passes, every document whole"
else
  fail "descriptor limit 4: exit status $status: $(cat "$work/fds.err")"
fi

echo "== stalled reader"
path=$(scenario stall "synthetic 1000 seed 5")
fifo="$work/stall.fifo"
mkfifo "$fifo"
# The reader takes 512 KiB, stops for three seconds, then another three before the rest;
# dd reads exactly what it passes on, so nothing is lost on its side.
{
  sleep 3
  dd bs=65536 count=8 iflag=fullblock status=none
  sleep 3
  cat
} <"$fifo" >"$work/stall.out" &
reader=$!
start=$SECONDS
status=0
LD_PRELOAD="$emulator" WIRELENS_EMULATOR_SCENARIO="$path" \
  "$collector" -c 20 -i 1e-10 >"$fifo" 2>"$work/stall.err" || status=$?
elapsed=$((SECONDS - start))
wait "$reader"
if [ "$status" = 0 ] && [ "$elapsed" -ge 5 ] && check_documents "$work/stall.out" 20 1000; then
  echo "stalled reader: the collector waited $elapsed s; 20 documents, every one whole and in order"
  if command -v jq >/dev/null 2>&1; then
    jq -c '.summary.totalSockets' "$work/stall.out" | sort -u | grep -qx 1000 &&
      echo "stalled reader: jq parses all 20" || fail "stalled reader: jq rejects the output"
  fi
else
  fail "stalled reader: exit status $status after $elapsed s: $(cat "$work/stall.err")"
fi

echo "== address-space limits, every mebibyte"
WIRELENS_MEMORY_SWEEP=full "$tests" --gtest_filter='MemoryLimitEndToEnd.*' | grep -E 'threshold|OK|FAILED' ||
  fail "address-space sweep"

if [ "$failed" = 0 ]; then echo "Soak passed."; else echo "Soak FAILED."; fi
exit "$failed"
