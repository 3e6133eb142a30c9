#!/usr/bin/env bash
# Times the real collector end to end: builds it (Release) with the device emulator and the
# capture tool in build/bench-e2e, makes synthetic captures of 10,000, 100,000 and 1,000,000
# sockets (the last only where memory allows), and runs 20 passes with no pause between them,
# standard output to /dev/null and into a pipe (| cat >/dev/null). Prints, per pass, the
# wall time and the CPU time (user + system), and the peak resident memory of the run, with
# the memcpy of one pass's output as the floor. A run with no sockets shows the fixed cost
# of a pass (host facts, and off FreeBSD the /proc walk that stands in for kern.file).
# Each figure is the median of three runs, as a shared machine's timings scatter. The device
# emulator holds the pass's records in the collector's process (320 bytes a socket); the
# last column leaves them out of the peak.
# Environment: WIRELENS_E2E_COUNTS replaces the socket counts, WIRELENS_E2E_PASSES the 20,
# WIRELENS_E2E_REPEAT the three runs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/bench-e2e
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DWIRELENS_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target wirelens-reader wirelens_device_emulator wirelens-capture \
  wirelens_bench >/dev/null

counts=${WIRELENS_E2E_COUNTS:-"0 10000 100000 1000000"}
passes=${WIRELENS_E2E_PASSES:-20}
# The same seed as the benchmarks, so that the memcpy floor is of the same text.
seed=20240611
available_kb=$(awk '/MemAvailable/ {print $2}' /proc/meminfo 2>/dev/null || echo 0)

work=$(mktemp -d "${TMPDIR:-/tmp}/wirelens-e2e-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo '?')"
"$build/bench/wirelens_bench" --benchmark_filter='^Memcpy/100000$' \
  --benchmark_format=json --benchmark_out="$work/memcpy.json" >/dev/null

runs=()
for n in $counts; do
  # About 3 KB per socket covers the collector, the emulator's copy of the records and the
  # capture tool; larger sets are skipped where the machine lacks that.
  if [ "$available_kb" -gt 0 ] && [ $((n * 3)) -gt "$available_kb" ]; then
    echo "skipping $n sockets: not enough memory"
    continue
  fi
  capture="$work/sockets_$n.cap"
  if [ "$n" -eq 0 ]; then
    : >"$capture"
  else
    "$build/tools/wirelens-capture" --synthetic "$n" --seed "$seed" -o "$capture"
  fi
  echo "records $capture" >"$work/scenario_$n.txt"
  runs+=("$n")
done

LIB="$PWD/$build/tools/libwirelens_device_emulator.so" READER="$PWD/$build/wirelens-reader" \
  WORK="$work" PASSES="$passes" REPEAT="${WIRELENS_E2E_REPEAT:-3}" python3 - "${runs[@]}" <<'PY'
import json, os, statistics, subprocess, sys, time

lib, reader, work, passes, repeat = (os.environ[k] for k in ("LIB", "READER", "WORK", "PASSES",
                                                             "REPEAT"))
passes, repeat = int(passes), int(repeat)
memcpy = json.load(open(os.path.join(work, "memcpy.json")))["benchmarks"][0]
memcpy_rate = memcpy["bytes_per_second"]  # bytes per second, 100,000-socket text

def run(n, count, sink):
    """One run of `count` passes; wall seconds, CPU seconds, peak resident KiB."""
    env = dict(os.environ, LD_PRELOAD=lib,
               WIRELENS_EMULATOR_SCENARIO=os.path.join(work, f"scenario_{n}.txt"))
    args = [reader, "-c", str(count), "-i", "1e-10"]
    start = time.perf_counter()
    if sink == "/dev/null":
        with open(os.devnull, "wb") as null:
            proc = subprocess.Popen(args, stdout=null, env=env)
            _, status, usage = os.wait4(proc.pid, 0)
    else:
        proc = subprocess.Popen(args, stdout=subprocess.PIPE, env=env)
        cat = subprocess.Popen(["cat"], stdin=proc.stdout, stdout=subprocess.DEVNULL)
        proc.stdout.close()
        _, status, usage = os.wait4(proc.pid, 0)
        cat.wait()
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f"collector failed with status {status} at {n} sockets")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss

def output_size(n):
    env = dict(os.environ, LD_PRELOAD=lib,
               WIRELENS_EMULATOR_SCENARIO=os.path.join(work, f"scenario_{n}.txt"))
    out = subprocess.run([reader, "-c", "1"], env=env, stdout=subprocess.PIPE, check=True)
    return len(out.stdout)

rows = []
for n in map(int, sys.argv[1:]):
    size = output_size(n)
    for sink in ("/dev/null", "pipe"):
        # A run of one pass carries the start-up (loading the emulator's records, the first
        # pass's fresh pages); the difference to a run of passes + 1 is `passes` passes alone.
        walls, cpus, peak = [], [], 0
        for _ in range(repeat):
            w1, c1, _ = run(n, 1, sink)
            wn, cn, rss = run(n, passes + 1, sink)
            walls.append((wn - w1) / passes)
            cpus.append((cn - c1) / passes)
            peak = max(peak, rss)
        rows.append((n, sink, statistics.median(walls), statistics.median(cpus), peak, size))

print(f"\n{passes} passes, interval 0; per pass: wall and CPU (user+sys); peak RSS of the run")
print(f"memcpy floor: {memcpy_rate / 1e9:.2f} GB/s (memcpy of the 100,000-socket text)")
head = ("sockets", "stdout", "wall ms", "cpu ms", "ns/socket", "MB/pass", "x memcpy",
        "cpu % at 1 s", "peak RSS MB", "without emulator MB")
print("| " + " | ".join(head) + " |")
print("|" + "---|" * len(head))
for n, sink, wall, cpu, rss, size in rows:
    per = f"{wall * 1e9 / n:.0f}" if n else "-"
    floor = size / memcpy_rate
    ratio = f"{wall / floor:.1f}" if n else "-"
    rss_mb = rss * 1024 / 1e6
    print(f"| {n:,} | {sink} | {wall * 1e3:.1f} | {cpu * 1e3:.1f} | {per} | {size / 1e6:.1f} | "
          f"{ratio} | {100 * cpu / (1 + wall):.2f} | {rss_mb:.1f} | {rss_mb - n * 320 / 1e6:.1f} |")
PY
