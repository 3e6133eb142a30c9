// Whole-token number parsing for the test description formats: decimal or 0x-prefixed
// hexadecimal, optionally negative for signed fields. Anything else, or a value out of
// range, gives no value.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace wirelens::testing {

inline std::optional<std::uint64_t> parseUnsigned(std::string_view text, std::uint64_t max) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty() || text[0] == '+' || text[0] == '-') return std::nullopt;
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
  return value;
}

inline std::optional<std::int64_t> parseSigned(std::string_view text, std::int64_t min,
                                               std::int64_t max) {
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  std::optional<std::uint64_t> magnitude = parseUnsigned(text, std::uint64_t{1} << 63);
  if (!magnitude) return std::nullopt;
  // Two's-complement negation in unsigned arithmetic avoids overflow at the minimum.
  std::int64_t value =
      negative ? static_cast<std::int64_t>(0 - *magnitude) : static_cast<std::int64_t>(*magnitude);
  if (negative != (value < 0) && *magnitude != 0) return std::nullopt;
  if (value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace wirelens::testing
