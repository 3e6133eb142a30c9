// JsonWriter: spells one document as JSON text straight into a ByteSink, in the compact or
// the pretty (two-space) style; no tree is built. Callers open each container with its exact
// member count, then give each member as a key and one value, and ask status() once at the
// end. The writer keeps its first failure, a failure of the sink (SerializerError holding
// the IoError) or one given to fail() ("Invalid variant 12"); from then on every call
// writes nothing. The member* calls write a key and its value with one room check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
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

  void beginObject(std::size_t count) { keep(running() && open('{', '}', count)); }
  void endObject() { keep(running() && close('}')); }
  void beginArray(std::size_t count) { keep(running() && open('[', ']', count)); }
  void endArray() { keep(running() && close(']')); }
  void beginElement() { keep(running() && element()); }
  void writeKey(std::string_view key) { keep(running() && putKey(key)); }
  void writeKey(const JsonKey& key) { keep(running() && putKey(key)); }
  // A literal would otherwise convert equally well to both kinds of key.
  template <std::size_t N>
  void writeKey(const char (&key)[N]) {
    writeKey(std::string_view(key, N - 1));
  }

  void writeString(std::string_view text) { keep(running() && putString(text)); }
  void writeUint32(std::uint32_t v) {
    keep(running() && value(kUint32Room, [v](char* p) { return putUint32(p, v); }));
  }
  void writeInt32(std::int32_t v) {
    keep(running() && value(kInt32Room, [v](char* p) { return putInt32(p, v); }));
  }
  void writeUint64Text(std::uint64_t v) {
    keep(running() && value(kUint64Room + 2, [v](char* p) { return putUint64Text(p, v); }));
  }
  void writeInt64Text(std::int64_t v) {
    keep(running() && value(kInt64Room + 2, [v](char* p) { return putInt64Text(p, v); }));
  }
  void writeBool(bool v) {
    keep(running() && value(5, [v](char* p) { return putBool(p, v); }));
  }
  void writeDouble(double v) {
    keep(running() && value(kDoubleRoom, [v](char* p) { return putDouble(p, v); }));
  }
  void writeBase64(std::span<const std::uint8_t> bytes) { keep(running() && putBytes(bytes)); }
  // A value that is already a complete JSON string, quotes included (enumeration names).
  void writeQuotedName(std::string_view quoted) { keep(running() && putQuoted(quoted)); }

  void memberUint32(const JsonKey& key, std::uint32_t v) {
    keep(running() && member(key, kUint32Room, [v](char* p) { return putUint32(p, v); }));
  }
  void memberInt32(const JsonKey& key, std::int32_t v) {
    keep(running() && member(key, kInt32Room, [v](char* p) { return putInt32(p, v); }));
  }
  void memberUint64Text(const JsonKey& key, std::uint64_t v) {
    keep(running() && member(key, kUint64Room + 2, [v](char* p) { return putUint64Text(p, v); }));
  }
  void memberInt64Text(const JsonKey& key, std::int64_t v) {
    keep(running() && member(key, kInt64Room + 2, [v](char* p) { return putInt64Text(p, v); }));
  }
  void memberBool(const JsonKey& key, bool v) {
    keep(running() && member(key, 5, [v](char* p) { return putBool(p, v); }));
  }
  void memberDouble(const JsonKey& key, double v) {
    keep(running() && member(key, kDoubleRoom, [v](char* p) { return putDouble(p, v); }));
  }
  void memberString(const JsonKey& key, std::string_view text) {
    keep(running() && putMemberString(key, text));
  }
  void memberBase64(const JsonKey& key, std::span<const std::uint8_t> bytes) {
    keep(running() && putMemberBase64(key, bytes));
  }
  void memberQuotedName(const JsonKey& key, std::string_view quoted) {
    keep(running() && putMemberQuotedName(key, quoted));
  }
  // An array of ready JSON strings, one per number, each given by quotedOf(number).
  template <typename QuotedOf>
  void memberQuotedNames(const JsonKey& key, std::span<const std::int32_t> numbers,
                         QuotedOf quotedOf) {
    keep(running() && putMemberQuotedNames(key, numbers, quotedOf));
  }

  // Compact style only: one whole value of at most `room` bytes (room <= kMaxValue) laid
  // out by put(p), which returns its end. It is written in place when the sink has that room
  // free, otherwise built aside and appended as one piece, so the sink passes its buffer on
  // only when the value itself does not fit.
  static constexpr std::size_t kMaxValue = ByteSink::kMaxReserve;
  template <typename Put>
  void compactValue(std::size_t room, Put put);

  // Ends the document with `error`, unless it has failed already: nothing more is written.
  void fail(SerializerError error);

  // False once the document has failed.
  bool ok() const { return !stopped_; }
  // Success, or the first failure.
  JsonStatus status() const;

  OutputStyle style() const { return style_; }

 private:
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

  bool running() const { return !stopped_; }
  // Every step reports whether the sink took its bytes; the first refusal stops the writer.
  void keep(bool wrote) {
    if (!wrote) stopped_ = true;
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

  bool putQuoted(std::string_view quoted) {
    if (quoted.size() > ByteSink::kMaxReserve) return sink_.append(quoted.data(), quoted.size());
    return value(quoted.size(), [quoted](char* p) { return putRaw(p, quoted); });
  }
  bool putMemberQuotedName(const JsonKey& key, std::string_view quoted) {
    if (quoted.size() > kLongValue) return putKey(key) && putQuoted(quoted);
    return member(key, quoted.size(), [quoted](char* p) { return putRaw(p, quoted); });
  }
  template <typename QuotedOf>
  bool putMemberQuotedNames(const JsonKey& key, std::span<const std::int32_t> numbers,
                            QuotedOf quotedOf);

  bool open(char opening, char closing, std::size_t count);
  bool close(char closing);
  bool element();
  bool breakLine(bool comma);
  bool putKey(const JsonKey& key);
  bool putKey(std::string_view key);
  bool putString(std::string_view text);
  bool putMemberString(const JsonKey& key, std::string_view text);
  bool putBytes(std::span<const std::uint8_t> bytes);
  bool putMemberBase64(const JsonKey& key, std::span<const std::uint8_t> bytes);

  ByteSink& sink_;
  OutputStyle style_;
  std::size_t depth_ = 0;  // open containers, for the pretty indentation
  // No member or element written yet in the innermost open container.
  bool first_ = true;
  // beginObject/beginArray(0) already wrote both brackets; the matching end writes nothing.
  bool closedEmpty_ = false;
  // The document has failed: the sink refused, or fail() was called.
  bool stopped_ = false;
  std::optional<SerializerError> error_;  // the failure given to fail()
};

template <typename Put>
void JsonWriter::compactValue(std::size_t room, Put put) {
  if (!running()) return;
  if (char* p = sink_.reserveInPlace(room)) {
    sink_.commit(put(p));
    return;
  }
  char aside[kMaxValue];
  const char* end = put(aside);
  keep(sink_.append(aside, static_cast<std::size_t>(end - aside)));
}

template <typename QuotedOf>
bool JsonWriter::putMemberQuotedNames(const JsonKey& key, std::span<const std::int32_t> numbers,
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
