# Shared by the operator-file checks: a scratch directory removed on exit (with any process
# whose id a check put in $started), a skip that CTest counts as such (status 77), a failure
# with a message, and a run of the collector over the device emulator.

scratch=$(mktemp -d "${TMPDIR:-/tmp}/wirelens-check-XXXXXX")
started=""
trap 'for p in $started; do kill -KILL "$p" 2>/dev/null || true; done; rm -rf "$scratch"' EXIT

skip() {
  echo "skipped: $*"
  exit 77
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

need_tool() {
  command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed"
}

# Compares a file with the expected text, byte for byte, showing the difference.
same_text() {
  if ! cmp -s "$1" "$2"; then
    diff -u "$1" "$2" >&2 || true
    fail "$3"
  fi
}

# In a sanitizer build the emulator library is preloaded ahead of the sanitizer's runtime,
# which that runtime accepts only when told to, as the end-to-end tests do; the emulator's
# lifetime allocations are no leaks of the collector. Other builds ignore the variable.
preload_exec='ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 LD_PRELOAD=$WIRELENS_PRELOAD exec "$@"'

# emulated SCENARIO PIDFILE COLLECTOR-ARGS...: the collector with the emulator standing in
# for the statistics device, its process id written to PIDFILE first (a shell that records
# its own id, then becomes the collector); $collector and $emulator are set by the caller.
emulated() {
  scenario=$1 pidfile=$2
  shift 2
  WIRELENS_EMULATOR_SCENARIO=$scenario WIRELENS_PRELOAD="$emulator${LD_PRELOAD:+:$LD_PRELOAD}" \
    sh -c "echo \$\$ >\"\$0\"; $preload_exec" "$pidfile" "$collector" "$@"
}
