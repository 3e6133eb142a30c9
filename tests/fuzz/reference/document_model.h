// The model of whole documents for the document fuzz target, written apart from the
// collector's schema writers: the member tables of a Batch, its metadata, summary, state
// counts and socket records (keys, order, kinds, presence, enumeration names), turned into
// the tree of values a document must read back to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "document/batch.h"
#include "reference/json_reader.h"

namespace wirelens::fuzz {

// A record's optional member values, as the input gave them (integers by their bits).
using FieldValue64 = std::variant<std::monostate, std::uint64_t, bool, std::string>;
struct RecordModel {
  SocketRecord record;
  std::array<FieldValue64, 71> optional;  // unset: std::monostate
};

// Builds the expected tree member by member; the first number without a name stops it.
// Every container still open then is the last child of the one around it.
struct Expectation {
  std::optional<std::int32_t> unnamed;  // the number that stopped the document
  std::size_t openContainers = 0;       // counted when stopped
  bool stopped() const { return unnamed.has_value(); }
};

// The tree of `batch`, whose records are `records` (the same records, with the values the
// input gave their optional members). Stops at the first number without a name.
Json expectBatch(const Batch& batch, const std::vector<RecordModel>& records, Expectation& e);

// The text of a stopped document: the reference text of what was written, without the
// closing of the containers still open.
std::string stoppedText(const Json& tree, std::size_t open, bool pretty);

}  // namespace wirelens::fuzz
