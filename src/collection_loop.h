// The collection loop: runs the passes, each one a snapshot of every TCP socket written as one
// document, with a pause of the interval between them. Returns when the count is reached, or
// with the first fatal error wrapped in its context.
#pragma once

#include <cstdint>
#include <vector>

#include "command_line.h"
#include "errors/top_level_error.h"
#include "platform/env.h"
#include "records/decoded_socket.h"
#include "result.h"

namespace wirelens {

// Low 32 bits of seconds * 1000 + nanoseconds / 1,000,000.
std::uint32_t intervalMilliseconds(const Interval& interval);

// What the acquisition step of one pass yields.
struct CollectionResult {
  std::vector<DecodedSocket> sockets;      // in device order, owners attributed
  std::uint64_t pcblistGeneration = 0;     // the number of records the device returned
  std::uint64_t collectionDurationNs = 0;  // device read, decode and attribution
};

// Reads and decodes the statistics device, then attributes owners; fails only with a
// device or decode error.
[[nodiscard]] Result<CollectionResult, CollectorError> collectTcpSockets(Env& env);

[[nodiscard]] Result<Done, TopLevelError> runCollection(Env& env, const Options& options);

}  // namespace wirelens
