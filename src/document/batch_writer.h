// Writes a Batch as one JSON document: metadata, records and summary, each member written by
// the presence rules, member counts taken before each object opens. The line feed after the
// document is the caller's. Stops at the first failure: a sink failure (SerializerError
// holding the IoError) or an unnamed enumeration number ("Invalid variant N"); what was
// appended before it stays appended.
#pragma once

#include "document/batch.h"
#include "json/byte_sink.h"
#include "json/json_writer.h"
#include "result.h"

namespace wirelens {

[[nodiscard]] Result<Done, SerializerError> writeBatch(const Batch& batch, OutputStyle style,
                                                       ByteSink& sink);

// The parts on their own, for callers that hold a writer already.
[[nodiscard]] JsonStatus writeMetadata(JsonWriter& writer, const BatchMetadata& metadata);
[[nodiscard]] JsonStatus writeSummary(JsonWriter& writer, const BatchSummary& summary);
[[nodiscard]] JsonStatus writeStateCount(JsonWriter& writer, const StateCount& stateCount);

}  // namespace wirelens
