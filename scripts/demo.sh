#!/usr/bin/env bash
# Shows the collector at work without the kernel module: builds the collector, the device
# emulator and the capture tool in build/demo, turns tests/data/sample_sockets.txt into a
# capture, and runs three passes half a second apart, pretty-printed, with the emulator
# standing in for the statistics device. Arguments, if any, replace "-i 0.5 -c 3 -p".
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/demo
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
# Only what the demo runs: the test binary itself is not needed.
cmake --build "$build" -j 2 --target wirelens-reader wirelens_device_emulator wirelens-capture >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/wirelens-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/tests/emulator/tools/wirelens-capture" -o "$work/sample_sockets.cap" \
  tests/data/sample_sockets.txt
echo "records sample_sockets.cap" >"$work/scenario.txt"

if [ $# -eq 0 ]; then set -- -i 0.5 -c 3 -p; fi
status=0
LD_PRELOAD="$PWD/$build/tests/emulator/libwirelens_device_emulator.so" \
  WIRELENS_EMULATOR_SCENARIO="$work/scenario.txt" \
  "$build/wirelens-reader" "$@" || status=$?
exit "$status"
