// Reference spelling of JSON text for the fuzz targets, written apart from the collector's
// writer: string escapes, the double layout (shortest digits from std::to_chars, plain form
// for decimal exponents -5 to 15, exponent form beyond), standard base64, and a whole tree
// laid out compact or pretty (two spaces per level, one member or element per line).
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "reference/json_reader.h"

namespace wirelens::fuzz {

inline std::string quoteJson(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case 0x08:
        out += "\\b";
        break;
      case 0x09:
        out += "\\t";
        break;
      case 0x0A:
        out += "\\n";
        break;
      case 0x0C:
        out += "\\f";
        break;
      case 0x0D:
        out += "\\r";
        break;
      default:
        if (byte < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          out += escape;
        } else {
          out.push_back(c);
        }
    }
  }
  return out + "\"";
}

// The JSON number text of a finite double.
inline std::string doubleText(double value) {
  std::string out = std::signbit(value) ? "-" : "";
  if (value == 0) return out + "0.0";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e)) {
    if (c != '.') digits.push_back(c);
  }
  const long exponent = std::strtol(std::string(scientific.substr(e + 1)).c_str(), nullptr, 10);
  const long n = static_cast<long>(digits.size());
  if (exponent >= -5 && exponent <= 15) {
    if (exponent < 0)
      return out + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    if (exponent < n - 1) {
      return out + digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
             digits.substr(static_cast<std::size_t>(exponent + 1));
    }
    return out + digits + std::string(static_cast<std::size_t>(exponent - n + 1), '0') + ".0";
  }
  out += digits.substr(0, 1);
  if (n > 1) out += "." + digits.substr(1);
  return out + "e" + (exponent > 0 ? "+" : "-") + std::to_string(std::labs(exponent));
}

inline std::string base64Text(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : bytes) {
    bits = bits << 8 | static_cast<unsigned char>(c);
    count += 8;
    while (count >= 6) {
      count -= 6;
      out.push_back(kAlphabet[bits >> count & 0x3F]);
    }
  }
  if (count > 0) out.push_back(kAlphabet[bits << (6 - count) & 0x3F]);
  while (out.size() % 4 != 0) out.push_back('=');
  return out;
}

inline std::string scalarText(const Json& value) {
  switch (value.kind) {
    case Json::Kind::Null:
      return "null";
    case Json::Kind::Bool:
      return value.boolean ? "true" : "false";
    case Json::Kind::Number:
      return value.text;
    default:
      return quoteJson(value.text);
  }
}

inline void layOut(const Json& value, bool pretty, std::size_t depth, std::string& out) {
  const bool object = value.kind == Json::Kind::Object;
  if (!object && value.kind != Json::Kind::Array) {
    out += scalarText(value);
    return;
  }
  const std::size_t count = object ? value.members.size() : value.items.size();
  out.push_back(object ? '{' : '[');
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) out.push_back(',');
    if (pretty) out += "\n" + std::string(2 * (depth + 1), ' ');
    if (object) {
      out += quoteJson(value.members[i].first);
      out += pretty ? ": " : ":";
    }
    layOut(object ? value.members[i].second : value.items[i], pretty, depth + 1, out);
  }
  if (pretty && count != 0) out += "\n" + std::string(2 * depth, ' ');
  out.push_back(object ? '}' : ']');
}

inline std::string jsonText(const Json& value, bool pretty) {
  std::string out;
  layOut(value, pretty, 0, out);
  return out;
}

// Builders for expected trees.
inline Json jsonNumber(std::string text) {
  Json j;
  j.kind = Json::Kind::Number;
  j.text = std::move(text);
  return j;
}
inline Json jsonString(std::string text) {
  Json j;
  j.kind = Json::Kind::String;
  j.text = std::move(text);
  return j;
}
inline Json jsonBool(bool v) {
  Json j;
  j.kind = Json::Kind::Bool;
  j.boolean = v;
  return j;
}
inline Json jsonDouble(double v) {
  if (!std::isfinite(v)) return Json{};
  return jsonNumber(doubleText(v));
}
inline Json jsonObject() {
  Json j;
  j.kind = Json::Kind::Object;
  return j;
}
inline Json jsonArray() {
  Json j;
  j.kind = Json::Kind::Array;
  return j;
}

}  // namespace wirelens::fuzz
