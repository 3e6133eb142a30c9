// MemberWriter: writes the members of one object in table order and stops at the first
// failure; every later call does nothing and finish() hands back that first error. Plain
// calls skip a default value (0, empty text, empty bytes, empty list); optional calls skip
// an empty optional. Enumeration numbers are named before their key is written, so a number
// without a name ends the document ahead of its key with "Invalid variant N".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "document/enumerations.h"
#include "json/json_writer.h"
#include "records/decoded_socket.h"

namespace wirelens {

class MemberWriter {
 public:
  explicit MemberWriter(JsonWriter& writer) : writer_(writer) {}

  bool ok() const { return !error_.has_value(); }

  // Runs one fast member write (a callable taking the JsonWriter and returning false when
  // the sink failed), unless an earlier write failed.
  template <typename Write>
  void member(Write write) {
    if (ok() && !write(writer_)) error_ = writer_.sinkError();
  }
  // The key, then a value written by the callable (a nested object or array).
  template <typename WriteValue>
  void value(const JsonKey& key, WriteValue write) {
    if (ok()) keep(writer_.writeKey(key));
    if (ok()) keep(write(writer_));
  }

  void uint32(const JsonKey& key, std::uint32_t v) {
    if (v != 0) member([&](JsonWriter& w) { return w.memberUint32(key, v); });
  }
  void uint64Text(const JsonKey& key, std::uint64_t v) {
    if (v != 0) member([&](JsonWriter& w) { return w.memberUint64Text(key, v); });
  }
  void string(const JsonKey& key, std::string_view v) {
    if (!v.empty()) member([&](JsonWriter& w) { return w.memberString(key, v); });
  }
  void bytes(const JsonKey& key, const Address& v) {
    if (v.size != 0) {
      member([&](JsonWriter& w) { return w.memberBase64(key, {v.bytes.data(), v.size}); });
    }
  }
  void name(const JsonKey& key, const NameTable& table, std::int32_t number) {
    if (!ok() || number == 0) return;
    const std::string_view quoted = table.quoted(number);
    if (quoted.empty()) {
      error_ = invalidVariant(number);
      return;
    }
    member([&](JsonWriter& w) { return w.memberQuotedName(key, quoted); });
  }
  void names(const JsonKey& key, const NameTable& table, std::span<const std::int32_t> numbers) {
    if (!ok() || numbers.empty()) return;
    for (std::int32_t number : numbers) {
      if (table.quoted(number).empty()) {
        error_ = invalidVariant(number);
        return;
      }
    }
    member([&](JsonWriter& w) {
      return w.memberQuotedNames(key, numbers, [&](std::int32_t n) { return table.quoted(n); });
    });
  }

  void optionalUint64Text(const JsonKey& key, const std::optional<std::uint64_t>& v) {
    if (v.has_value()) member([&](JsonWriter& w) { return w.memberUint64Text(key, *v); });
  }
  void optionalDouble(const JsonKey& key, const std::optional<double>& v) {
    if (v.has_value()) member([&](JsonWriter& w) { return w.memberDouble(key, *v); });
  }

  // The first failure, or success.
  JsonStatus finish() {
    if (error_.has_value()) return fail(std::move(*error_));
    return Done{};
  }
  // finish(), then the object's closing brace.
  JsonStatus finishObject() {
    if (error_.has_value()) return fail(std::move(*error_));
    return writer_.endObject();
  }

 private:
  void keep(JsonStatus&& status) {
    if (!status.ok()) error_ = std::move(status).error();
  }

  JsonWriter& writer_;
  std::optional<SerializerError> error_;
};

inline std::span<const std::int32_t> codes(const DataSourceList& list) {
  return {list.begin(), list.size()};
}

}  // namespace wirelens
