// Pass summary: how many sockets a pass saw and how many were in each TCP state, with the
// time the summary was taken and the collection interval. Counts are listed by ascending
// state number; the change counters and rates stay unset, as nothing is kept between passes.
#pragma once

#include <cstdint>
#include <span>

#include "document/batch.h"
#include "document/socket_record.h"

namespace wirelens {

// timestampNs is the wall-clock reading the caller took for the summary.
BatchSummary buildSummary(std::span<const SocketRecord> records, std::uint32_t intervalMs,
                          std::uint64_t timestampNs);

}  // namespace wirelens
