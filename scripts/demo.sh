#!/bin/sh
# Builds the collector in build/demo and runs it: three passes, half a second apart,
# pretty-printed (arguments, if any, replace "-i 0.5 -c 3 -p"). Where one of the statistics
# device's paths exists (FreeBSD with the kernel module loaded), the collector runs as it is,
# against the real device. Everywhere else it runs against the device emulator used by the
# tests, answering with the bundled sample capture (tests/data/sample_sockets.txt), and says
# so in one line on standard error. Build messages go to standard error too, so standard
# output holds only the documents.
set -eu
cd "$(dirname "$0")/.."

build=build/demo
generator=
if command -v ninja >/dev/null 2>&1; then generator=Ninja; fi
cmake -S . -B "$build" ${generator:+-G "$generator"} -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
if [ $# -eq 0 ]; then set -- -i 0.5 -c 3 -p; fi

# The build names the programs' paths in wirelens-tools.txt, "name=path" a line.
tool() { sed -n "s/^$1=//p" "$build/wirelens-tools.txt"; }

if [ -e /dev/wirelens-full ] || [ -e /dev/wirelens ]; then
  cmake --build "$build" -j 2 --target wirelens-reader >&2
  exec "$(tool collector)" "$@"
fi

cmake --build "$build" -j 2 --target wirelens-reader wirelens_device_emulator wirelens-capture >&2
collector=$(tool collector)
emulator=$(tool emulator)
capture=$(tool capture)

work=$(mktemp -d "${TMPDIR:-/tmp}/wirelens-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$capture" -o "$work/sample_sockets.cap" tests/data/sample_sockets.txt
echo "records sample_sockets.cap" >"$work/scenario.txt"

echo "demo: no /dev/wirelens-full or /dev/wirelens here; reading the device emulator's sample capture (tests/data/sample_sockets.txt)" >&2
status=0
LD_PRELOAD="$emulator" WIRELENS_EMULATOR_SCENARIO="$work/scenario.txt" \
  "$collector" "$@" || status=$?
exit "$status"
