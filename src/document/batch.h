// Batch: the document of one collection pass, its metadata, its socket records and its
// summary. Plain fields are written unless they hold their default (0, empty text, empty
// list); std::optional fields are written exactly when they hold a value. Enumerations are
// held as numbers (enumerations.h) and named when the document is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/socket_record.h"

namespace wirelens {

struct BatchMetadata {
  std::uint64_t timestampNs = 0;
  std::string hostname;
  std::int32_t platform = 0;  // Platform
  std::string osVersion;
  std::uint32_t intervalMs = 0;
  std::string scheduleName;
  std::vector<std::int32_t> dataSources;  // DataSource codes
  std::uint64_t collectionDurationNs = 0;
  std::optional<std::uint64_t> pcblistGeneration;
  std::uint64_t batchSequence = 0;
  std::string toolVersion;
};

struct StateCount {
  std::int32_t state = 0;  // TcpState
  std::uint32_t count = 0;
};

struct BatchSummary {
  std::uint64_t timestampNs = 0;
  std::uint32_t intervalMs = 0;
  std::uint32_t totalSockets = 0;
  std::vector<StateCount> stateCounts;
  std::optional<std::uint64_t> deltaConnAttempts;
  std::optional<std::uint64_t> deltaAccepts;
  std::optional<std::uint64_t> deltaConnects;
  std::optional<std::uint64_t> deltaDrops;
  std::optional<std::uint64_t> deltaSndTotalPackets;
  std::optional<std::uint64_t> deltaSndBytes;
  std::optional<std::uint64_t> deltaSndRexmitPackets;
  std::optional<std::uint64_t> deltaSndRexmitBytes;
  std::optional<std::uint64_t> deltaRcvTotalPackets;
  std::optional<std::uint64_t> deltaRcvBytes;
  std::optional<std::uint64_t> deltaRcvDupPackets;
  std::optional<std::uint64_t> deltaRcvBadsum;
  std::optional<double> retransmitRate;
  std::optional<double> duplicateRate;
};

struct Batch {
  std::optional<BatchMetadata> metadata;
  std::vector<SocketRecord> records;
  std::optional<BatchSummary> summary;
};

}  // namespace wirelens
