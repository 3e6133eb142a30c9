#include "reference/json_reader.h"

#include <cstdint>

namespace wirelens::fuzz {
namespace {

constexpr int kMaxDepth = 1000;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<Json> document() {
    Json value;
    skipSpace();
    if (!readValue(value, 0)) return std::nullopt;
    skipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  bool more() const { return at_ < text_.size(); }
  char peek() const { return text_[at_]; }
  bool take(char c) {
    if (!more() || peek() != c) return false;
    ++at_;
    return true;
  }
  bool takeWord(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  void skipSpace() {
    while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) ++at_;
  }
  bool digit() const { return more() && peek() >= '0' && peek() <= '9'; }

  bool readValue(Json& out, int depth) {
    if (!more() || depth > kMaxDepth) return false;
    switch (peek()) {
      case '{':
        return readObject(out, depth + 1);
      case '[':
        return readArray(out, depth + 1);
      case '"':
        out.kind = Json::Kind::String;
        return readString(out.text);
      case 't':
        out.kind = Json::Kind::Bool;
        out.boolean = true;
        return takeWord("true");
      case 'f':
        out.kind = Json::Kind::Bool;
        return takeWord("false");
      case 'n':
        out.kind = Json::Kind::Null;
        return takeWord("null");
      default:
        out.kind = Json::Kind::Number;
        return readNumber(out.text);
    }
  }

  bool readObject(Json& out, int depth) {
    out.kind = Json::Kind::Object;
    take('{');
    skipSpace();
    if (take('}')) return true;
    for (;;) {
      skipSpace();
      std::string key;
      if (!readString(key)) return false;
      skipSpace();
      if (!take(':')) return false;
      skipSpace();
      Json value;
      if (!readValue(value, depth)) return false;
      out.members.emplace_back(std::move(key), std::move(value));
      skipSpace();
      if (take('}')) return true;
      if (!take(',')) return false;
    }
  }

  bool readArray(Json& out, int depth) {
    out.kind = Json::Kind::Array;
    take('[');
    skipSpace();
    if (take(']')) return true;
    for (;;) {
      skipSpace();
      Json value;
      if (!readValue(value, depth)) return false;
      out.items.push_back(std::move(value));
      skipSpace();
      if (take(']')) return true;
      if (!take(',')) return false;
    }
  }

  bool readNumber(std::string& out) {
    const std::size_t start = at_;
    take('-');
    if (take('0')) {
    } else if (digit()) {
      while (digit()) ++at_;
    } else {
      return false;
    }
    if (take('.')) {
      if (!digit()) return false;
      while (digit()) ++at_;
    }
    if (more() && (peek() == 'e' || peek() == 'E')) {
      ++at_;
      if (more() && (peek() == '+' || peek() == '-')) ++at_;
      if (!digit()) return false;
      while (digit()) ++at_;
    }
    out.assign(text_.substr(start, at_ - start));
    return true;
  }

  bool hex4(std::uint32_t& value) {
    if (text_.size() - at_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        value |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  static void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }

  bool readString(std::string& out) {
    if (!take('"')) return false;
    for (;;) {
      if (!more()) return false;
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        continue;
      }
      if (!more()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out.push_back(e);
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          std::uint32_t unit;
          if (!hex4(unit)) return false;
          if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low;
            if (!takeWord("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
          appendUtf8(out, unit);
          break;
        }
        default:
          return false;
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<Json> readJson(std::string_view text) {
  return Reader(text).document();
}

}  // namespace wirelens::fuzz
