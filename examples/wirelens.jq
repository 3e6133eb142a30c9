# Recipes for wirelens-reader documents, one document per input (JSON Lines).
#
#   jq -r -L /usr/local/share/examples/wirelens-reader 'include "wirelens"; state_counts'
#
# Every recipe prints lines of tab-separated text and copes with a pass that found no
# sockets (such a document has no "records" key and no "stateCounts"). Written for jq 1.6:
# no bitwise operators, no @base64d (it turns address bytes above 0x7f into U+FFFD), so
# addresses are decoded here, byte by byte.

# --- Helpers ---------------------------------------------------------------------------

# The records of a document; none when the pass found no sockets.
def records: .records[]?;

# Standard base64 text to an array of byte values (0-255).
def base64_bytes:
  [explode[] | select(. != 61)                      # "=" padding
   | if . >= 65 and . <= 90 then . - 65             # A-Z
     elif . >= 97 and . <= 122 then . - 71          # a-z
     elif . >= 48 and . <= 57 then . + 4            # 0-9
     elif . == 43 then 62                           # +
     elif . == 47 then 63                           # /
     else error("not base64: \([.] | implode)") end]
  | . as $sextets
  | [range(0; length; 4) as $at
     | $sextets[$at:$at + 4] as $group
     | ($group + [0, 0, 0])[:4] as $s
     | (((($s[0] * 64) + $s[1]) * 64 + $s[2]) * 64 + $s[3]) as $n
     | [($n / 65536 | floor), (($n / 256 | floor) % 256), ($n % 256)][:($group | length) - 1][]];

# A number as lower-case hexadecimal without leading zeros.
def hex:
  [recurse(if . >= 16 then (. / 16 | floor) else empty end) | . % 16
   | "0123456789abcdef"[.:. + 1]] | reverse | join("");

def ipv4_text: map(tostring) | join(".");

# Sixteen bytes in RFC 5952 form: lower-case hex groups without leading zeros, the longest
# run of two or more zero groups (the first of equal runs) written "::", and IPv4-mapped
# addresses as ::ffff:a.b.c.d.
def ipv6_text:
  . as $bytes
  | [range(0; 8) as $i | $bytes[2 * $i] * 256 + $bytes[2 * $i + 1]] as $groups
  | if $groups[0:5] == [0, 0, 0, 0, 0] and $groups[5] == 65535 then
      "::ffff:" + ($bytes[12:16] | ipv4_text)
    else
      (reduce range(0; 9) as $i ({run: -1, start: -1, length: 0};
         if $i < 8 and $groups[$i] == 0 then
           (if .run < 0 then .run = $i else . end)
         elif .run >= 0 then
           (if $i - .run > .length then .start = .run | .length = $i - .run else . end)
           | .run = -1
         else . end)) as $zeros
      | if $zeros.length >= 2 then
          ($groups[:$zeros.start] | map(hex) | join(":")) + "::"
          + ($groups[$zeros.start + $zeros.length:] | map(hex) | join(":"))
        else
          $groups | map(hex) | join(":")
        end
    end;

# A base64 address member as text: dotted quad for 4 bytes, RFC 5952 for 16; "-" when the
# member is absent.
def addr_text:
  if . == null then "-"
  else base64_bytes | if length == 4 then ipv4_text
                      elif length == 16 then ipv6_text
                      else error("address of \(length) bytes") end
  end;

# "address:port", with IPv6 addresses in brackets; an absent port is 0.
def endpoint(addr; port):
  (addr | addr_text) as $text
  | (if $text | contains(":") then "[\($text)]" else $text end) + ":\(port // 0)";

def local_endpoint: endpoint(.localAddr; .localPort);
def remote_endpoint: endpoint(.remoteAddr; .remotePort);

# A state name without its prefix ("ESTABLISHED"); "-" when the record has none.
def state_text: (.state // "-") | ltrimstr("TCP_STATE_");

# A decimal string of nanoseconds since the epoch (the form of every 64-bit value) as an
# ISO 8601 UTC time with all nine fraction digits. Whole seconds fit a double exactly;
# the nanoseconds are taken from the text, never through tonumber.
def ns_date:
  ("000000000" + .) as $padded
  | ($padded[:-9] | tonumber | todate) as $seconds
  | $seconds[:-1] + "." + $padded[-9:] + "Z";

# --- Recipes ---------------------------------------------------------------------------

# Sockets per TCP state in this pass: STATE<TAB>COUNT.
def state_counts:
  .summary.stateCounts[]? | "\(state_text)\t\(.count // 0)";

# The n sockets with the largest smoothed round-trip time:
# RTT_US<TAB>STATE<TAB>LOCAL<TAB>REMOTE.
def top_rtt(n):
  [records | select(.rttUs != null)] | sort_by(-.rttUs) | .[:n][]
  | "\(.rttUs)\t\(state_text)\t\(local_endpoint)\t\(remote_endpoint)";

# Who holds the sockets on a local port: PID<TAB>FD<TAB>STATE<TAB>LOCAL<TAB>REMOTE, with "-"
# where the owner is not visible to the collector.
def owners(port):
  records | select((.localPort // 0) == port)
  | "\(.pid // "-")\t\(.fd // "-")\t\(state_text)\t\(local_endpoint)\t\(remote_endpoint)";

# When the pass was taken: BATCH_SEQUENCE<TAB>TIME.
def pass_time:
  "\(.metadata.batchSequence // "0")\t\(.metadata.timestampNs // "0" | ns_date)";

# Sockets that have retransmitted: REXMIT_PACKETS<TAB>STATE<TAB>LOCAL<TAB>REMOTE.
def retransmitting:
  records | select((.rexmitPackets // 0) > 0)
  | "\(.rexmitPackets)\t\(state_text)\t\(local_endpoint)\t\(remote_endpoint)";

# Every socket's addresses as text: STATE<TAB>LOCAL<TAB>REMOTE.
def addresses:
  records | "\(state_text)\t\(local_endpoint)\t\(remote_endpoint)";
