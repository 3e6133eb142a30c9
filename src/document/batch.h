// Batch: the document of one collection pass, its metadata, its socket records and its
// summary, each object's members declared once in its ObjectSchema table below. Plain fields
// are written unless they hold their default (0, empty text, empty list); std::optional
// fields are written exactly when they hold a value. Enumerations are held as numbers and
// named when the document is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "document/member_table.h"
#include "document/socket_record.h"

namespace wirelens {

struct BatchMetadata {
  std::uint64_t timestampNs = 0;
  std::string hostname;
  std::int32_t platform = 0;  // Platform
  std::string osVersion;
  std::uint32_t intervalMs = 0;
  std::string scheduleName;
  std::vector<std::int32_t> dataSources;  // DataSource numbers
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

template <>
struct ObjectSchema<BatchMetadata> {
  using M = BatchMetadata;
  using K = Kind;
  static constexpr std::string_view kTypeName = "BatchMetadata";
  static constexpr std::tuple kMembers{
      Plain<K::u64, &M::timestampNs>{"timestampNs"},
      Plain<K::string, &M::hostname>{"hostname"},
      Plain<K::enumeration, &M::platform, Platform>{"platform"},
      Plain<K::string, &M::osVersion>{"osVersion"},
      Plain<K::u32, &M::intervalMs>{"intervalMs"},
      Plain<K::string, &M::scheduleName>{"scheduleName"},
      Plain<K::enumerationList, &M::dataSources, DataSource>{"dataSources"},
      Plain<K::u64, &M::collectionDurationNs>{"collectionDurationNs"},
      Optional<K::u64, &M::pcblistGeneration>{"pcblistGeneration"},
      Plain<K::u64, &M::batchSequence>{"batchSequence"},
      Plain<K::string, &M::toolVersion>{"toolVersion"},
  };
};

template <>
struct ObjectSchema<StateCount> {
  using C = StateCount;
  using K = Kind;
  static constexpr std::string_view kTypeName = "StateCount";
  static constexpr std::tuple kMembers{
      Plain<K::enumeration, &C::state, TcpState>{"state"},
      Plain<K::u32, &C::count>{"count"},
  };
};

template <>
struct ObjectSchema<BatchSummary> {
  using S = BatchSummary;
  using K = Kind;
  static constexpr std::string_view kTypeName = "BatchSummary";
  static constexpr std::tuple kMembers{
      Plain<K::u64, &S::timestampNs>{"timestampNs"},
      Plain<K::u32, &S::intervalMs>{"intervalMs"},
      Plain<K::u32, &S::totalSockets>{"totalSockets"},
      Plain<K::objectList, &S::stateCounts, StateCount>{"stateCounts"},
      Optional<K::u64, &S::deltaConnAttempts>{"deltaConnAttempts"},
      Optional<K::u64, &S::deltaAccepts>{"deltaAccepts"},
      Optional<K::u64, &S::deltaConnects>{"deltaConnects"},
      Optional<K::u64, &S::deltaDrops>{"deltaDrops"},
      Optional<K::u64, &S::deltaSndTotalPackets>{"deltaSndTotalPackets"},
      Optional<K::u64, &S::deltaSndBytes>{"deltaSndBytes"},
      Optional<K::u64, &S::deltaSndRexmitPackets>{"deltaSndRexmitPackets"},
      Optional<K::u64, &S::deltaSndRexmitBytes>{"deltaSndRexmitBytes"},
      Optional<K::u64, &S::deltaRcvTotalPackets>{"deltaRcvTotalPackets"},
      Optional<K::u64, &S::deltaRcvBytes>{"deltaRcvBytes"},
      Optional<K::u64, &S::deltaRcvDupPackets>{"deltaRcvDupPackets"},
      Optional<K::u64, &S::deltaRcvBadsum>{"deltaRcvBadsum"},
      Optional<K::floating, &S::retransmitRate>{"retransmitRate"},
      Optional<K::floating, &S::duplicateRate>{"duplicateRate"},
  };
};

template <>
struct ObjectSchema<Batch> {
  using B = Batch;
  using K = Kind;
  static constexpr std::string_view kTypeName = "Batch";
  static constexpr std::tuple kMembers{
      Optional<K::object, &B::metadata, BatchMetadata>{"metadata"},
      Plain<K::objectList, &B::records, SocketRecord>{"records"},
      Optional<K::object, &B::summary, BatchSummary>{"summary"},
  };
};

}  // namespace wirelens
