#include "json/json_writer.h"

#include <algorithm>
#include <string>
#include <utility>

#include "json/string_escape.h"

namespace wirelens {
namespace {

constexpr char kSpaces[] = "                                                                ";
constexpr std::size_t kIndentUnit = 2;

// Bytes a quoted, escaped text can take.
constexpr std::size_t quotedRoom(std::size_t size) {
  return kEscapeGrowth * size + 2;
}
constexpr std::size_t quotedBase64Room(std::size_t size) {
  return base64Size(size) + 2;
}

char* putQuotedEscaped(char* p, std::string_view text) {
  *p = '"';
  p = putEscaped(p + 1, text);
  *p = '"';
  return p + 1;
}

char* putQuotedBase64(char* p, std::span<const std::uint8_t> bytes) {
  *p = '"';
  p = putBase64(p + 1, bytes.data(), bytes.size());
  *p = '"';
  return p + 1;
}

}  // namespace

SerializerError invalidVariant(std::int32_t number) {
  return SerializerError{"Invalid variant " + std::to_string(number)};
}

void JsonWriter::fail(SerializerError error) {
  if (stopped_) return;
  error_ = std::move(error);
  stopped_ = true;
}

JsonStatus JsonWriter::status() const {
  if (error_) return wirelens::fail(*error_);
  if (sink_.failure()) return wirelens::fail(SerializerError{*sink_.failure()});
  return Done{};
}

bool JsonWriter::open(char opening, char closing, std::size_t count) {
  char* p = sink_.reserve(2);
  if (p == nullptr) return false;
  p[0] = opening;
  if (count == 0) {
    p[1] = closing;
    sink_.commit(p + 2);
    closedEmpty_ = true;
    return true;
  }
  sink_.commit(p + 1);
  ++depth_;
  first_ = true;
  return true;
}

bool JsonWriter::close(char closing) {
  // The container ends as a value of its parent, which holds a member from then on.
  const bool hadMembers = !first_;
  first_ = false;
  if (closedEmpty_) {
    closedEmpty_ = false;
    return true;
  }
  if (depth_ > 0) --depth_;
  if (style_ == OutputStyle::pretty && hadMembers && !breakLine(false)) return false;
  return sink_.append(&closing, 1);
}

bool JsonWriter::breakLine(bool comma) {
  const std::string_view lineBreak = comma ? ",\n" : "\n";
  if (!sink_.append(lineBreak.data(), lineBreak.size())) return false;
  // Deep nesting is indented in pieces rather than through one large reservation.
  for (std::size_t left = kIndentUnit * depth_; left > 0;) {
    const std::size_t piece = std::min(left, sizeof kSpaces - 1);
    if (!sink_.append(kSpaces, piece)) return false;
    left -= piece;
  }
  return true;
}

bool JsonWriter::element() {
  const bool comma = !first_;
  first_ = false;
  if (style_ == OutputStyle::pretty) return breakLine(comma);
  return !comma || sink_.append(",", 1);
}

bool JsonWriter::putKey(const JsonKey& key) {
  const bool comma = !first_;
  first_ = false;
  if (style_ == OutputStyle::pretty) {
    return breakLine(comma) && sink_.append(key.block(), key.size()) && sink_.append(" ", 1);
  }
  char* p = sink_.reserve(kKeyRoom);
  if (p == nullptr) return false;
  *p = ',';
  p += comma ? 1 : 0;
  std::memcpy(p, key.block(), JsonKey::kBlock);
  sink_.commit(p + key.size());
  return true;
}

bool JsonWriter::putKey(std::string_view key) {
  const bool comma = !first_;
  first_ = false;
  const bool separated =
      style_ == OutputStyle::pretty ? breakLine(comma) : !comma || sink_.append(",", 1);
  if (!separated || !putString(key)) return false;
  return style_ == OutputStyle::pretty ? sink_.append(": ", 2) : sink_.append(":", 1);
}

bool JsonWriter::putString(std::string_view text) {
  if (quotedRoom(text.size()) <= ByteSink::kMaxReserve) {
    return value(quotedRoom(text.size()), [text](char* p) { return putQuotedEscaped(p, text); });
  }
  return sink_.append("\"", 1) && appendEscaped(sink_, text) && sink_.append("\"", 1);
}

bool JsonWriter::putMemberString(const JsonKey& key, std::string_view text) {
  if (style_ == OutputStyle::compact && quotedRoom(text.size()) <= kLongValue) {
    return member(key, quotedRoom(text.size()),
                  [text](char* p) { return putQuotedEscaped(p, text); });
  }
  return putKey(key) && putString(text);
}

bool JsonWriter::putBytes(std::span<const std::uint8_t> bytes) {
  if (quotedBase64Room(bytes.size()) <= ByteSink::kMaxReserve) {
    return value(quotedBase64Room(bytes.size()),
                 [bytes](char* p) { return putQuotedBase64(p, bytes); });
  }
  if (!sink_.append("\"", 1)) return false;
  // Whole groups of three bytes per piece, so that padding can only fall in the last one.
  constexpr std::size_t kPieceBytes = ByteSink::kMaxReserve / 4 * 3;
  for (std::size_t offset = 0; offset < bytes.size(); offset += kPieceBytes) {
    const std::size_t size = std::min(kPieceBytes, bytes.size() - offset);
    char* p = sink_.reserve(base64Size(size));
    if (p == nullptr) return false;
    sink_.commit(putBase64(p, bytes.data() + offset, size));
  }
  return sink_.append("\"", 1);
}

bool JsonWriter::putMemberBase64(const JsonKey& key, std::span<const std::uint8_t> bytes) {
  if (style_ == OutputStyle::compact && quotedBase64Room(bytes.size()) <= kLongValue) {
    return member(key, quotedBase64Room(bytes.size()),
                  [bytes](char* p) { return putQuotedBase64(p, bytes); });
  }
  return putKey(key) && putBytes(bytes);
}

}  // namespace wirelens
