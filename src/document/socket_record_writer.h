// Writes one SocketRecord as a JSON object: its members in document order, plain members
// only when not at their default, optional members exactly when they hold a value, the
// enumerations by name. An unnamed ipVersion, state or sources number ends the document
// with "Invalid variant N" before that member's key.
#pragma once

#include <cstddef>

#include "document/socket_record.h"
#include "json/json_writer.h"

namespace wirelens {

// The number of members the record's object holds.
std::size_t memberCount(const SocketRecord& record);

[[nodiscard]] JsonStatus writeSocketRecord(JsonWriter& writer, const SocketRecord& record);

}  // namespace wirelens
