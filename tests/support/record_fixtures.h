// Records and decoded sockets with every member set, for whole-output comparisons. Numbers
// follow the member's position in the record (socketId 6, tcpFlags 8, ... deltaRxBytes 77),
// negative for the signed kinds, so a key paired with the wrong value shows at a glance.
#pragma once

#include <string_view>

#include "document/socket_record.h"
#include "records/decoded_socket.h"

namespace wirelens::testing {

// Position of a member among the record's 78 members (1-based), by its key.
int memberPosition(std::string_view key);

// Every member set: 2001:db8::1 port 22 to ::ffff:10.0.0.2 port 52144, IPv6, established,
// sources freebsd-kld and kern-file, each optional member numbered by its position.
SocketRecord fullRecord();

// Every field set, including the ones this platform never fills (rxtShift, startTimeSecs,
// effectivePid); numbers as in fullRecord, keyed by the member each field feeds.
DecodedSocket fullDecodedSocket();

}  // namespace wirelens::testing
