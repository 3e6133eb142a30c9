// A strict JSON reader for the fuzz targets (RFC 8259: no comments, no trailing commas, no
// bare control bytes in strings, the number grammar exactly), written apart from the
// collector's writer. It builds a small tree: numbers keep their text, strings their
// decoded bytes, objects their members in order (repeated keys kept).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wirelens::fuzz {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a number's text, or a string's bytes
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  friend bool operator==(const Json&, const Json&) = default;

  // The member named `key`, or nullptr.
  const Json* find(std::string_view key) const {
    for (const auto& [name, value] : members) {
      if (name == key) return &value;
    }
    return nullptr;
  }
};

// The one value that `text` holds, surrounded by nothing but white space; nothing when the
// text is not JSON or nests deeper than 1000 containers.
std::optional<Json> readJson(std::string_view text);

}  // namespace wirelens::fuzz
