#!/bin/sh
# `cmake --install` into a staging directory (DESTDIR, prefix /usr/local) gives exactly the
# collector, its man page and the three examples, the same set the port's pkg-plist lists;
# the installed rc.d script names the installed collector.
# Usage: check_install.sh SOURCE_DIR BUILD_DIR
set -eu
here=$(dirname "$0")
. "$here/common.sh"
source_dir=$1 build_dir=$2
need_tool cmake

stage="$scratch/stage"
DESTDIR="$stage" cmake --install "$build_dir" --prefix /usr/local >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }
(cd "$stage/usr/local" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$scratch/installed.txt"
[ "$(find "$stage" -mindepth 1 -maxdepth 1)" = "$stage/usr" ] || fail "files outside the prefix"

cat >"$scratch/expected.txt" <<'LIST'
sbin/wirelens-reader
share/examples/wirelens-reader/newsyslog-wirelens-reader.conf
share/examples/wirelens-reader/wirelens.jq
share/examples/wirelens-reader/wirelens_reader
share/man/man8/wirelens-reader.8
LIST
same_text "$scratch/expected.txt" "$scratch/installed.txt" "installed files"

# The port compresses man pages itself; otherwise its plist names the same files.
sed -e 's|%%EXAMPLESDIR%%|share/examples/wirelens-reader|' -e 's|\.gz$||' \
  "$source_dir/packaging/freebsd/pkg-plist" | LC_ALL=C sort >"$scratch/plist.txt"
same_text "$scratch/installed.txt" "$scratch/plist.txt" "pkg-plist and the installed files"

examples="$stage/usr/local/share/examples/wirelens-reader"
[ -x "$examples/wirelens_reader" ] || fail "the installed rc.d script is not executable"
grep -q '%%' "$examples/wirelens_reader" && fail "a placeholder is left in the rc.d script"
grep -q ' /usr/local/sbin/wirelens-reader -i ' "$examples/wirelens_reader" ||
  fail "the rc.d script does not run /usr/local/sbin/wirelens-reader"
"$stage/usr/local/sbin/wirelens-reader" -h 2>/dev/null || fail "the installed collector fails -h"
echo "install: exactly the expected files"
