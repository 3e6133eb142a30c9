// Writes one SocketRecord as a JSON object from its table: its members in document order,
// plain members only when not at their default, optional members exactly when they hold a
// value, the enumerations by name. In the compact style a record whose enumeration numbers
// all have names is laid out in one piece with one room check; any other record goes
// member by member, so that an unnamed ipVersion, state or sources number ends the document
// with "Invalid variant N" right before that member's key.
#pragma once

#include <cstddef>

#include "document/object_writer.h"
#include "document/socket_record.h"
#include "json/json_writer.h"

namespace wirelens {

// The number of members the record's object holds.
std::size_t memberCount(const SocketRecord& record);

void writeSocketRecord(JsonWriter& writer, const SocketRecord& record);

// The record member by member (the path of the pretty style), also in the compact style.
void writeSocketRecordMembers(JsonWriter& writer, const SocketRecord& record);

// The bytes the one-piece compact layout may touch for this record: every member at its
// longest, its texts as if every byte were escaped.
std::size_t compactRecordRoom(const SocketRecord& record);

template <>
struct ObjectWriterOf<SocketRecord> {
  static void write(JsonWriter& writer, const SocketRecord& record) {
    writeSocketRecord(writer, record);
  }
};

}  // namespace wirelens
