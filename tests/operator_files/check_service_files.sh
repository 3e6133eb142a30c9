#!/bin/sh
# The FreeBSD service files as far as they can be checked off FreeBSD: the rc.d script parses
# (sh -n) and hands daemon(8) what the service relies on; the newsyslog entry has its fields
# in order and names the file and the supervisor's pidfile that the rc.d script uses.
# Usage: check_service_files.sh SOURCE_DIR
set -eu
here=$(dirname "$0")
. "$here/common.sh"
files="$1/packaging/freebsd/files"
rc="$files/wirelens_reader.in"
conf="$files/newsyslog-wirelens-reader.conf"

sh -n "$rc" || fail "sh -n rejects the rc.d script"

# The rc.d script's own values: name, default output file, pidfile.
value() { sed -n "s/^$1=\"\\{0,1\\}\\([^\"]*\\)\"\\{0,1\\}\$/\\1/p" "$rc"; }
default() { sed -n "s/^: \${$1:=\"\\([^\"]*\\)\"}\$/\\1/p" "$rc"; }
name=$(value name)
[ "$name" = wirelens_reader ] || fail "rc.d name is '$name'"
[ "$(value rcvar)" = "${name}_enable" ] || fail "rcvar is not ${name}_enable"
[ "$(default "${name}_enable")" = NO ] || fail "the service is enabled by default"
[ -n "$(default "${name}_interval")" ] || fail "no interval knob"
output=$(default "${name}_output")
[ -n "$output" ] || fail "no output-file knob"
pidfile=$(value pidfile | sed "s/\${name}/$name/")

# daemon(8) flags: supervisor pidfile, restart with a delay, output appended to the file,
# only standard output captured (-m 1), reopened on SIGHUP; no -S, which would copy every
# document into syslog as well.
args=$(sed -n '/^command_args=/,/"$/p' "$rc" | tr -d '\\\n')
for flag in '-P ${pidfile}' '-R ${wirelens_reader_restart_delay}' '-H' \
  '-o ${wirelens_reader_output}' '-m 1' '%%PREFIX%%/sbin/wirelens-reader -i ${wirelens_reader_interval}'; do
  case $args in *"$flag"*) ;; *) fail "daemon is not given '$flag'" ;; esac
done
case $args in *' -S '* | *' -l '* | *' -s '*) fail "daemon is asked to copy output to syslog" ;; esac

# The newsyslog entry: logfilename owner:group mode count size when flags pid_file signal.
entries=$(grep -v -e '^#' -e '^[[:space:]]*$' "$conf")
[ "$(printf '%s\n' "$entries" | wc -l)" -eq 1 ] || fail "the newsyslog file must hold one entry"
set -f  # the "when" field is a literal *
set -- $entries
[ $# -eq 9 ] || fail "newsyslog entry has $# fields, not 9"
[ "$1" = "$output" ] || fail "newsyslog rotates $1, the service writes $output"
case $2 in *:*) ;; *) fail "owner:group field is '$2'" ;; esac
case $3 in [0-7][0-7][0-7]) ;; *) fail "mode field is '$3'" ;; esac
case $4 in '' | *[!0-9]*) fail "count field is '$4'" ;; esac
case $5 in '' | *[!0-9]* | 0) fail "size field is '$5' (kilobytes expected)" ;; esac
[ "$6" = '*' ] || fail "when field is '$6': rotation must be by size alone"
case $7 in *B*) ;; *) fail "flags '$7' lack B: newsyslog would write a line into the JSON Lines" ;; esac
case $7 in *N*) fail "flags '$7' hold N: the supervisor would not be told to reopen" ;; esac
[ "$8" = "$pidfile" ] || fail "newsyslog signals $8, the supervisor's pidfile is $pidfile"
[ "$9" = SIGHUP ] || fail "newsyslog sends $9, daemon -H reopens on SIGHUP"
echo "service files: rc.d script parses, newsyslog entry matches it"
