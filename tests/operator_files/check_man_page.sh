#!/bin/sh
# The man page: mandoc's lint reports nothing, and its option list matches the usage text
# that the collector's -h prints (the binary is the reference), option for option, in order,
# with the same value names; the SYNOPSIS names the same option letters.
# Usage: check_man_page.sh SOURCE_DIR COLLECTOR
set -eu
here=$(dirname "$0")
. "$here/common.sh"
source_dir=$1 collector=$2
page="$source_dir/src/wirelens-reader.8"

"$collector" -h 2>"$scratch/usage.txt" || fail "collector -h exited non-zero"
# "  -i, --interval SECS   Collection interval ...": the option column ends at column 24.
grep '^  -' "$scratch/usage.txt" | cut -c3-24 | sed 's/ *$//' >"$scratch/usage_options.txt"
[ -s "$scratch/usage_options.txt" ] || fail "no options in the usage text"

# ".It Fl i , Fl \-interval Ar SECS" in the OPTIONS section reads "-i, --interval SECS".
sed -n '/^\.Sh OPTIONS/,/^\.Sh /p' "$page" | grep '^\.It Fl ' |
  sed -e 's/^\.It Fl \([A-Za-z]\) , Fl \\-\([a-z-]*\)/-\1, --\2/' -e 's/ Ar / /' \
  >"$scratch/page_options.txt"
same_text "$scratch/usage_options.txt" "$scratch/page_options.txt" \
  "the man page's OPTIONS differ from the usage text"

# Every short option of the usage text appears in the SYNOPSIS, and no other.
cut -c2 "$scratch/usage_options.txt" | sort >"$scratch/usage_letters.txt"
sed -n '/^\.Sh SYNOPSIS/,/^\.Sh /p' "$page" | grep -o 'Fl [A-Za-z]*' | cut -c4- | sort -u \
  >"$scratch/synopsis_letters.txt"
same_text "$scratch/usage_letters.txt" "$scratch/synopsis_letters.txt" \
  "the SYNOPSIS names other options than the usage text"
echo "man page options agree with the usage text"

need_tool mandoc
# Whether a cross-referenced page exists, and the state of the host's manual database,
# depend on the manuals installed where the check runs, not on this page.
mandoc -Tlint -W style "$page" 2>&1 |
  grep -v -e 'referenced manual not found' -e 'mandoc\.db' >"$scratch/lint.txt" || true
if [ -s "$scratch/lint.txt" ]; then
  cat "$scratch/lint.txt" >&2
  fail "mandoc -Tlint reports on the man page"
fi
echo "mandoc -Tlint: nothing to report"
