#!/bin/sh
# Runs every recipe of examples/wirelens.jq over real collector output (the bundled sample
# capture under the device emulator, then a pass with no sockets) and compares the whole
# printed text with expected/jq_*.txt. The owner and the pass times differ from run to run:
# the expected files hold @PID@, @FD@ and @TIME1@/@TIME2@, filled in from the collector's own
# process id, the descriptor of the emulator's own socket (the lowest free one from 10 on,
# read from the raw output) and the timestamps converted by date(1).
# Usage: check_jq_recipes.sh SOURCE_DIR COLLECTOR EMULATOR CAPTURE_TOOL
set -eu
here=$(dirname "$0")
. "$here/common.sh"
source_dir=$1 collector=$2 emulator=$3 capture=$4
need_tool jq

"$capture" -o "$scratch/sample.cap" "$source_dir/tests/data/sample_sockets.txt"
printf 'records sample.cap\npass\n' >"$scratch/scenario.txt"
emulated "$scratch/scenario.txt" "$scratch/pid" -c 2 >"$scratch/out.jsonl" \
  2>"$scratch/err.txt" || fail "collector run: $(cat "$scratch/err.txt")"

# The varying fields, taken without jq: the pid from the shell that became the collector,
# the times from date(1) over the raw timestamp digits.
timestamp() {
  sed -n "${1}p" "$scratch/out.jsonl" |
    sed 's/^{"metadata":{"timestampNs":"\([0-9]*\)".*/\1/'
}
iso_time() {
  seconds=${1%?????????}
  nanos=${1#"$seconds"}
  printf '%s.%sZ' "$(date -u -d "@$seconds" +%Y-%m-%dT%H:%M:%S 2>/dev/null ||
    date -u -r "$seconds" +%Y-%m-%dT%H:%M:%S)" "$nanos"
}
time1=$(iso_time "$(timestamp 1)")
time2=$(iso_time "$(timestamp 2)")
pid=$(cat "$scratch/pid")
fd=$(sed -n 's/.*"localPort":61001,[^}]*"fd":\([0-9]*\).*/\1/p' "$scratch/out.jsonl")
[ -n "$fd" ] && [ "$fd" -ge 10 ] || fail "the emulator's own socket has no descriptor from 10 on"

check() {
  name=$1
  filter=$2
  jq -r -L "$source_dir/examples" "include \"wirelens\"; $filter" "$scratch/out.jsonl" \
    >"$scratch/$name.txt" || fail "jq recipe $name"
  sed -e "s/@PID@/$pid/g" -e "s/@FD@/$fd/g" -e "s/@TIME1@/$time1/g" -e "s/@TIME2@/$time2/g" \
    "$here/expected/jq_$name.txt" >"$scratch/$name.expected"
  same_text "$scratch/$name.expected" "$scratch/$name.txt" "recipe $name: $filter"
}

check state_counts 'state_counts'
check top_rtt 'top_rtt(3)'
check owners 'owners(61001), owners(443)'
check pass_time 'pass_time'
check retransmitting 'retransmitting'
check addresses 'addresses'

# The address decoder on its own, over a table of edge cases: "BASE64 TEXT" per line.
grep -v '^#' "$here/expected/jq_address_cases.txt" >"$scratch/cases.txt"
cut -d' ' -f1 "$scratch/cases.txt" |
  jq -R -r -L "$source_dir/examples" 'include "wirelens"; addr_text' >"$scratch/decoded.txt" ||
  fail "address decoding"
cut -d' ' -f2 "$scratch/cases.txt" >"$scratch/expected_decoded.txt"
same_text "$scratch/expected_decoded.txt" "$scratch/decoded.txt" "addr_text over the case table"
echo "jq recipes: all outputs as expected"
