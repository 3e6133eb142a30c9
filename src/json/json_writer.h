// JsonWriter: spells one document as JSON text straight into a ByteSink, in the compact or
// the pretty (two-space) style; no tree is built. Callers open each container with its exact
// member count, then give each member as a key and one value. The write*/begin*/end* calls
// return success or the SerializerError that ends the document (a sink failure becomes
// SerializerError{IoError} at once). The member* calls are the per-member fast path of the
// schema writers: key and value with one room check, false when the sink failed, and
// sinkError() then gives the same error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "errors/collector_errors.h"
#include "json/base64.h"
#include "json/byte_sink.h"
#include "json/json_key.h"
#include "json/number_format.h"
#include "result.h"

namespace wirelens {

enum class OutputStyle { compact, pretty };

using JsonStatus = Result<Done, SerializerError>;

// The error for an enumeration number without a name: "Invalid variant 12".
SerializerError invalidVariant(std::int32_t number);

class JsonWriter {
 public:
  JsonWriter(ByteSink& sink, OutputStyle style) : sink_(sink), style_(style) {}

  JsonStatus beginObject(std::size_t count) { return status(open('{', '}', count)); }
  JsonStatus endObject() { return status(close('}')); }
  JsonStatus beginArray(std::size_t count) { return status(open('[', ']', count)); }
  JsonStatus endArray() { return status(close(']')); }
  JsonStatus beginElement() { return status(element()); }
  JsonStatus writeKey(std::string_view key) { return status(putKey(key)); }
  JsonStatus writeKey(const JsonKey& key) { return status(putKey(key)); }
  // A literal would otherwise convert equally well to both kinds of key.
  template <std::size_t N>
  JsonStatus writeKey(const char (&key)[N]) {
    return writeKey(std::string_view(key, N - 1));
  }

  JsonStatus writeString(std::string_view text) { return status(putString(text)); }
  JsonStatus writeUint32(std::uint32_t v) { return status(putUint32Value(v)); }
  JsonStatus writeInt32(std::int32_t v) { return status(putInt32Value(v)); }
  JsonStatus writeUint64Text(std::uint64_t v) { return status(putUint64TextValue(v)); }
  JsonStatus writeInt64Text(std::int64_t v) { return status(putInt64TextValue(v)); }
  JsonStatus writeBool(bool v) { return status(putBoolValue(v)); }
  JsonStatus writeDouble(double v) { return status(putDoubleValue(v)); }
  JsonStatus writeBase64(std::span<const std::uint8_t> bytes) { return status(putBytes(bytes)); }
  // A value that is already a complete JSON string, quotes included (enumeration names).
  JsonStatus writeQuotedName(std::string_view quoted) { return status(putQuoted(quoted)); }

  [[nodiscard]] bool memberUint32(const JsonKey& key, std::uint32_t v) {
    return member(key, kUint32Room, [v](char* p) { return putUint32(p, v); });
  }
  [[nodiscard]] bool memberInt32(const JsonKey& key, std::int32_t v) {
    return member(key, kInt32Room, [v](char* p) { return putInt32(p, v); });
  }
  [[nodiscard]] bool memberUint64Text(const JsonKey& key, std::uint64_t v) {
    return member(key, kUint64Room + 2, [v](char* p) { return putUint64Text(p, v); });
  }
  [[nodiscard]] bool memberInt64Text(const JsonKey& key, std::int64_t v) {
    return member(key, kInt64Room + 2, [v](char* p) { return putInt64Text(p, v); });
  }
  [[nodiscard]] bool memberBool(const JsonKey& key, bool v) {
    return member(key, 5, [v](char* p) { return putBool(p, v); });
  }
  [[nodiscard]] bool memberDouble(const JsonKey& key, double v) {
    return member(key, kDoubleRoom, [v](char* p) { return putDouble(p, v); });
  }
  [[nodiscard]] bool memberString(const JsonKey& key, std::string_view text);
  [[nodiscard]] bool memberBase64(const JsonKey& key, std::span<const std::uint8_t> bytes);
  [[nodiscard]] bool memberQuotedName(const JsonKey& key, std::string_view quoted) {
    if (quoted.size() > kLongValue) return putKey(key) && putQuoted(quoted);
    return member(key, quoted.size(), [quoted](char* p) { return putRaw(p, quoted); });
  }
  // An array of ready JSON strings, one per number, each given by quotedOf(number).
  template <typename QuotedOf>
  [[nodiscard]] bool memberQuotedNames(const JsonKey& key, std::span<const std::int32_t> numbers,
                                       QuotedOf quotedOf);

  // Compact style only: one whole value of at most `room` bytes (room <= kMaxValue) laid
  // out by put(p), which returns its end. It is written in place when the sink has that room
  // free, otherwise built aside and appended as one piece, so the sink passes its buffer on
  // only when the value itself does not fit. False when the sink failed.
  static constexpr std::size_t kMaxValue = ByteSink::kMaxReserve;
  template <typename Put>
  [[nodiscard]] bool compactValue(std::size_t room, Put put);

  OutputStyle style() const { return style_; }

  // Why the last false came about: the sink's failure.
  SerializerError sinkError() const;

 private:
  // Where compactValue asks for lines ahead of the cursor.
  static constexpr std::size_t kCacheLine = 64;
  static constexpr std::size_t kPrefetchFrom = 1024;
  static constexpr std::size_t kPrefetchTo = 2048;
  // Room for a separator and a whole key block in front of a value.
  static constexpr std::size_t kKeyRoom = 1 + JsonKey::kBlock;
  // Values that may need more room than one reservation next to a key go piece by piece.
  static constexpr std::size_t kLongValue = ByteSink::kMaxReserve - kKeyRoom;

  static char* putRaw(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
  }
  static char* putBool(char* p, bool v) {
    std::memcpy(p, v ? "true" : "false", v ? 4 : 5);
    return p + (v ? 4 : 5);
  }
  static char* putUint64Text(char* p, std::uint64_t v) {
    *p = '"';
    p = putUint64(p + 1, v);
    *p = '"';
    return p + 1;
  }
  static char* putInt64Text(char* p, std::int64_t v) {
    *p = '"';
    p = putInt64(p + 1, v);
    *p = '"';
    return p + 1;
  }

  JsonStatus status(bool ok) const {
    if (ok) return Done{};
    return fail(sinkError());
  }

  // A value of at most `room` bytes (room <= ByteSink::kMaxReserve).
  template <typename Put>
  [[gnu::always_inline]] bool value(std::size_t room, Put put) {
    char* p = sink_.reserve(room);
    if (p == nullptr) return false;
    sink_.commit(put(p));
    return true;
  }

  // Key and value of at most `room` bytes (room <= kLongValue).
  template <typename Put>
  [[gnu::always_inline]] bool member(const JsonKey& key, std::size_t room, Put put) {
    if (style_ == OutputStyle::pretty) return putKey(key) && value(room, put);
    char* p = sink_.reserve(kKeyRoom + room);
    if (p == nullptr) return false;
    // The separator is written either way and kept only after the first member.
    *p = ',';
    p += first_ ? 0 : 1;
    std::memcpy(p, key.block(), JsonKey::kBlock);
    first_ = false;
    sink_.commit(put(p + key.size()));
    return true;
  }

  bool putUint32Value(std::uint32_t v) {
    return value(kUint32Room, [v](char* p) { return putUint32(p, v); });
  }
  bool putInt32Value(std::int32_t v) {
    return value(kInt32Room, [v](char* p) { return putInt32(p, v); });
  }
  bool putUint64TextValue(std::uint64_t v) {
    return value(kUint64Room + 2, [v](char* p) { return putUint64Text(p, v); });
  }
  bool putInt64TextValue(std::int64_t v) {
    return value(kInt64Room + 2, [v](char* p) { return putInt64Text(p, v); });
  }
  bool putBoolValue(bool v) {
    return value(5, [v](char* p) { return putBool(p, v); });
  }
  bool putDoubleValue(double v) {
    return value(kDoubleRoom, [v](char* p) { return putDouble(p, v); });
  }
  bool putQuoted(std::string_view quoted) {
    if (quoted.size() > ByteSink::kMaxReserve) return sink_.append(quoted.data(), quoted.size());
    return value(quoted.size(), [quoted](char* p) { return putRaw(p, quoted); });
  }

  bool open(char opening, char closing, std::size_t count);
  bool close(char closing);
  bool element();
  bool breakLine(bool comma);
  bool putKey(const JsonKey& key);
  bool putKey(std::string_view key);
  bool putString(std::string_view text);
  bool putBytes(std::span<const std::uint8_t> bytes);

  ByteSink& sink_;
  OutputStyle style_;
  std::size_t depth_ = 0;  // open containers, for the pretty indentation
  // No member or element written yet in the innermost open container.
  bool first_ = true;
  // beginObject/beginArray(0) already wrote both brackets; the matching end writes nothing.
  bool closedEmpty_ = false;
};

template <typename Put>
bool JsonWriter::compactValue(std::size_t room, Put put) {
  if (sink_.room() >= room) {
    char* p = sink_.reserve(room);
    // The lines the next value will be laid out on, about a record ahead: a sink's chunk is
    // larger than the first-level cache, and a line written without being asked for first
    // makes the writer wait for it.
    for (std::size_t ahead = kPrefetchFrom; ahead < kPrefetchTo; ahead += kCacheLine) {
      __builtin_prefetch(p + ahead, 1);
    }
    sink_.commit(put(p));
    return true;
  }
  char aside[kMaxValue];
  const char* end = put(aside);
  return sink_.append(aside, static_cast<std::size_t>(end - aside));
}

template <typename QuotedOf>
bool JsonWriter::memberQuotedNames(const JsonKey& key, std::span<const std::int32_t> numbers,
                                   QuotedOf quotedOf) {
  std::size_t room = 2 + numbers.size();
  for (std::int32_t n : numbers) room += quotedOf(n).size();
  if (style_ == OutputStyle::pretty || room > kLongValue) {
    if (!putKey(key) || !open('[', ']', numbers.size())) return false;
    for (std::int32_t n : numbers) {
      if (!element() || !putQuoted(quotedOf(n))) return false;
    }
    return close(']');
  }
  return member(key, room, [&](char* p) {
    *p++ = '[';
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      if (i != 0) *p++ = ',';
      p = putRaw(p, quotedOf(numbers[i]));
    }
    *p++ = ']';
    return p;
  });
}

}  // namespace wirelens
