#!/bin/sh
# The no-glue rule of the service, end to end with the real collector over the device
# emulator: the child command of the rc.d script (taken from the script itself) is run the
# way daemon(8) runs it, standard output appended to the output file. A collector killed in
# the middle of a large document leaves a cut-off line; after the restart every line but
# that one parses, and the new documents follow on lines of their own. A restart after a
# clean end adds no empty line, and an error report goes to syslog (a logger(1) stand-in
# here), never into the file.
# Usage: check_no_glue_restart.sh SOURCE_DIR COLLECTOR EMULATOR CAPTURE_TOOL
set -eu
here=$(dirname "$0")
. "$here/common.sh"
source_dir=$1 collector=$2 emulator=$3 capture=$4
need_tool jq

rc="$source_dir/packaging/freebsd/files/wirelens_reader.in"
eval "$(sed -n "/^wirelens_reader_child='/,/^'/p" "$rc")"
[ -n "${wirelens_reader_child:-}" ] || fail "no child command in the rc.d script"

# Documents of about 10 MB (10,000 sockets), so that a kill lands inside one.
"$capture" -o "$scratch/large.cap" --synthetic 10000 --seed 8
printf 'records large.cap\n' >"$scratch/large.txt"
printf 'ioctl ENOTTY\n' >"$scratch/failing.txt"

# syslog stand-in: what logger(1) is given, with its arguments.
mkdir "$scratch/bin"
cat >"$scratch/bin/logger" <<'STUB'
#!/bin/sh
{ echo "logger $*"; cat; } >>"$WIRELENS_SYSLOG"
STUB
chmod +x "$scratch/bin/logger"
export WIRELENS_SYSLOG="$scratch/syslog.txt"
: >"$WIRELENS_SYSLOG"

out="$scratch/wirelens-reader.jsonl"
# service fg|bg SCENARIO ARGS...: one start of the service's child, output appended like
# daemon -o; in the background, $pid is the child, which becomes the collector. The emulator
# is preloaded into the collector alone, not into the child's own tools.
service() {
  mode=$1 scenario=$2
  shift 2
  set -- sh -c "$wirelens_reader_child" wirelens_reader "$out" \
    sh -c "$preload_exec" preload "$collector" "$@"
  export PATH="$scratch/bin:$PATH" TMPDIR="$scratch" \
    WIRELENS_EMULATOR_SCENARIO="$scratch/$scenario" \
    WIRELENS_PRELOAD="$emulator${LD_PRELOAD:+:$LD_PRELOAD}"
  if [ "$mode" = bg ]; then
    "$@" >>"$out" &
    pid=$!
    started="$started $pid"
  else
    "$@" >>"$out"
  fi
}
ends_cut() { [ -s "$out" ] && [ -n "$(tail -c 1 "$out")" ]; }

# Kill the collector while a document is on its way out: passes without pause, the process
# stopped now and then, and killed when it stopped inside a line (a stopped process writes
# nothing, so what the check saw is what the kill leaves).
service bg large.txt -i 0.001
polls=0
while :; do
  polls=$((polls + 1))
  [ $polls -le 3000 ] || fail "the collector never stopped inside a document"
  sleep 0.01
  kill -STOP "$pid"
  if ends_cut && [ "$(wc -c <"$out")" -ge 1000000 ]; then break; fi
  kill -CONT "$pid"
done
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
cut_lines=$(wc -l <"$out")

service fg large.txt -c 2 || fail "the restarted collector failed"
service fg large.txt -c 1 || fail "the collector restarted after a clean end failed"

split -l 1 "$out" "$scratch/line."
total=0
bad=""
for line in "$scratch"/line.*; do
  total=$((total + 1))
  jq -e '.metadata.batchSequence' "$line" >/dev/null 2>&1 || bad="$bad $total"
done
damaged=$((cut_lines + 1))
[ "$bad" = " $damaged" ] || fail "lines that do not parse:$bad (expected only line $damaged)"
[ "$total" -eq $((damaged + 3)) ] || fail "$total lines, expected $((damaged + 3))"
sequences=$(tail -n 3 "$out" | jq -r '.metadata.batchSequence' | tr '\n' ' ')
[ "$sequences" = "1 2 1 " ] || fail "documents after the restarts: $sequences"
grep -q '^$' "$out" && fail "an empty line in the output"

# A failing run: its report reaches syslog, the output file is left as it was.
cp "$out" "$scratch/before.jsonl"
if service fg failing.txt -c 1; then fail "the failing run exited 0"; fi
cmp -s "$out" "$scratch/before.jsonl" || fail "the failing run changed the output file"
grep -q '^Error: failed to collect TCP sockets$' "$WIRELENS_SYSLOG" ||
  fail "the error report did not reach syslog"
grep -q '^logger -t wirelens_reader -p daemon.err$' "$WIRELENS_SYSLOG" ||
  fail "logger was not called with the service's tag"
echo "no glue: one cut-off line of $total, every other line parses"
