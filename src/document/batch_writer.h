// Writes a Batch as one JSON document into the sink it is given: metadata, records and
// summary, each object written from its table by the presence rules, member counts taken
// before each object opens. The line feed after the document, and how the text is buffered
// on its way out, are the caller's. Stops at the first failure: a sink failure
// (SerializerError holding the IoError) or an unnamed enumeration number ("Invalid variant
// N"); what was appended before it stays appended.
#pragma once

#include "document/batch.h"
#include "json/byte_sink.h"
#include "json/json_writer.h"
#include "result.h"

namespace wirelens {

[[nodiscard]] Result<Done, SerializerError> writeBatch(const Batch& batch, OutputStyle style,
                                                       ByteSink& sink);

}  // namespace wirelens
