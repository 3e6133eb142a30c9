#include "document/batch_writer.h"

#include <cstddef>
#include <span>

#include "document/enumerations.h"
#include "document/member_writer.h"
#include "document/socket_record_writer.h"
#include "json/chunking_sink.h"

namespace wirelens {
namespace {

// One array element per item, each written by writeItem(writer, item).
template <typename Item, typename WriteItem>
JsonStatus writeArray(JsonWriter& writer, std::span<const Item> items, WriteItem writeItem) {
  JsonStatus status = writer.beginArray(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!status.ok()) return status;
    // The item two ahead is asked for now: a pass's records are far larger than the cache,
    // and each one is read from memory.
    if (i + 2 < items.size()) {
      const char* ahead = reinterpret_cast<const char*>(&items[i + 2]);
      for (std::size_t line = 0; line < sizeof(Item); line += 64) __builtin_prefetch(ahead + line);
    }
    status = writer.beginElement();
    if (status.ok()) status = writeItem(writer, items[i]);
  }
  if (!status.ok()) return status;
  return writer.endArray();
}

std::size_t memberCount(const BatchMetadata& m) {
  return (m.timestampNs != 0) + !m.hostname.empty() + (m.platform != 0) + !m.osVersion.empty() +
         (m.intervalMs != 0) + !m.scheduleName.empty() + !m.dataSources.empty() +
         (m.collectionDurationNs != 0) + m.pcblistGeneration.has_value() + (m.batchSequence != 0) +
         !m.toolVersion.empty();
}

std::size_t memberCount(const BatchSummary& s) {
  return (s.timestampNs != 0) + (s.intervalMs != 0) + (s.totalSockets != 0) +
         !s.stateCounts.empty() + s.deltaConnAttempts.has_value() + s.deltaAccepts.has_value() +
         s.deltaConnects.has_value() + s.deltaDrops.has_value() +
         s.deltaSndTotalPackets.has_value() + s.deltaSndBytes.has_value() +
         s.deltaSndRexmitPackets.has_value() + s.deltaSndRexmitBytes.has_value() +
         s.deltaRcvTotalPackets.has_value() + s.deltaRcvBytes.has_value() +
         s.deltaRcvDupPackets.has_value() + s.deltaRcvBadsum.has_value() +
         s.retransmitRate.has_value() + s.duplicateRate.has_value();
}

}  // namespace

JsonStatus writeMetadata(JsonWriter& writer, const BatchMetadata& m) {
  JsonStatus opened = writer.beginObject(memberCount(m));
  if (!opened.ok()) return opened;
  MemberWriter out(writer);
  out.uint64Text("timestampNs", m.timestampNs);
  out.string("hostname", m.hostname);
  out.name("platform", kPlatformNames, m.platform);
  out.string("osVersion", m.osVersion);
  out.uint32("intervalMs", m.intervalMs);
  out.string("scheduleName", m.scheduleName);
  out.names("dataSources", kDataSourceNames, m.dataSources);
  out.uint64Text("collectionDurationNs", m.collectionDurationNs);
  out.optionalUint64Text("pcblistGeneration", m.pcblistGeneration);
  out.uint64Text("batchSequence", m.batchSequence);
  out.string("toolVersion", m.toolVersion);
  return out.finishObject();
}

JsonStatus writeStateCount(JsonWriter& writer, const StateCount& c) {
  JsonStatus opened = writer.beginObject((c.state != 0) + (c.count != 0));
  if (!opened.ok()) return opened;
  MemberWriter out(writer);
  out.name("state", kTcpStateNames, c.state);
  out.uint32("count", c.count);
  return out.finishObject();
}

JsonStatus writeSummary(JsonWriter& writer, const BatchSummary& s) {
  JsonStatus opened = writer.beginObject(memberCount(s));
  if (!opened.ok()) return opened;
  MemberWriter out(writer);
  out.uint64Text("timestampNs", s.timestampNs);
  out.uint32("intervalMs", s.intervalMs);
  out.uint32("totalSockets", s.totalSockets);
  if (!s.stateCounts.empty()) {
    out.value("stateCounts", [&](JsonWriter& w) {
      return writeArray(w, std::span<const StateCount>(s.stateCounts), writeStateCount);
    });
  }
  out.optionalUint64Text("deltaConnAttempts", s.deltaConnAttempts);
  out.optionalUint64Text("deltaAccepts", s.deltaAccepts);
  out.optionalUint64Text("deltaConnects", s.deltaConnects);
  out.optionalUint64Text("deltaDrops", s.deltaDrops);
  out.optionalUint64Text("deltaSndTotalPackets", s.deltaSndTotalPackets);
  out.optionalUint64Text("deltaSndBytes", s.deltaSndBytes);
  out.optionalUint64Text("deltaSndRexmitPackets", s.deltaSndRexmitPackets);
  out.optionalUint64Text("deltaSndRexmitBytes", s.deltaSndRexmitBytes);
  out.optionalUint64Text("deltaRcvTotalPackets", s.deltaRcvTotalPackets);
  out.optionalUint64Text("deltaRcvBytes", s.deltaRcvBytes);
  out.optionalUint64Text("deltaRcvDupPackets", s.deltaRcvDupPackets);
  out.optionalUint64Text("deltaRcvBadsum", s.deltaRcvBadsum);
  out.optionalDouble("retransmitRate", s.retransmitRate);
  out.optionalDouble("duplicateRate", s.duplicateRate);
  return out.finishObject();
}

namespace {

Result<Done, SerializerError> writeDocument(const Batch& batch, OutputStyle style, ByteSink& sink) {
  JsonWriter writer(sink, style);
  const std::size_t count =
      batch.metadata.has_value() + !batch.records.empty() + batch.summary.has_value();
  JsonStatus opened = writer.beginObject(count);
  if (!opened.ok()) return opened;
  MemberWriter out(writer);
  if (batch.metadata.has_value()) {
    out.value("metadata", [&](JsonWriter& w) { return writeMetadata(w, *batch.metadata); });
  }
  if (!batch.records.empty()) {
    out.value("records", [&](JsonWriter& w) {
      return writeArray(w, std::span<const SocketRecord>(batch.records), writeSocketRecord);
    });
  }
  if (batch.summary.has_value()) {
    out.value("summary", [&](JsonWriter& w) { return writeSummary(w, *batch.summary); });
  }
  return out.finishObject();
}

}  // namespace

Result<Done, SerializerError> writeBatch(const Batch& batch, OutputStyle style, ByteSink& sink) {
  ChunkingSink chunks(sink);
  Result<Done, SerializerError> written = writeDocument(batch, style, chunks);
  // What was written goes on also after a failure of the writer, as it would unchunked.
  if (!chunks.finish() && written.ok()) return fail(SerializerError{*chunks.failure()});
  return written;
}

}  // namespace wirelens
