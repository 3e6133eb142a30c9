// Record assembly: turns the decoded sockets of one pass into socket records, one for each,
// in the same order. Values the kernel record supplies are copied with their set or unset
// status; members that would need an earlier pass (deltas, rates, ages) stay unset.
#pragma once

#include <span>
#include <vector>

#include "document/socket_record.h"
#include "records/decoded_socket.h"

namespace wirelens {

// Kernel state k becomes TcpState k + 1 for k below 11; anything else, or no state, 0.
std::int32_t tcpStateFromKernel(const std::optional<std::uint32_t>& kernelState);
// IP version 4 becomes 1, 6 becomes 2; anything else, or none, 0.
std::int32_t ipVersionFromDecoded(const std::optional<std::uint8_t>& version);

std::vector<SocketRecord> assembleRecords(std::span<const DecodedSocket> sockets);

}  // namespace wirelens
