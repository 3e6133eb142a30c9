// Reference readings of UTF-8 for the fuzz targets, written apart from the collector's own
// decoder: the well-formed byte sequences as a table of byte ranges (one row per form), the
// lossy decoding as "longest match against any row", and validity as scalar-value checks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wirelens::fuzz {

struct ByteRange {
  unsigned char low;
  unsigned char high;
};

struct WellFormedForm {
  std::size_t length;
  std::array<ByteRange, 4> bytes;
};

// The well-formed UTF-8 byte sequences, one form per row.
inline constexpr std::array<WellFormedForm, 9> kWellFormed = {{
    {1, {{{0x00, 0x7F}}}},
    {2, {{{0xC2, 0xDF}, {0x80, 0xBF}}}},
    {3, {{{0xE0, 0xE0}, {0xA0, 0xBF}, {0x80, 0xBF}}}},
    {3, {{{0xE1, 0xEC}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {3, {{{0xED, 0xED}, {0x80, 0x9F}, {0x80, 0xBF}}}},
    {3, {{{0xEE, 0xEF}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {4, {{{0xF0, 0xF0}, {0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {4, {{{0xF1, 0xF3}, {0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}}},
    {4, {{{0xF4, 0xF4}, {0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}}},
}};

// How many leading bytes of `text` (from `at`) follow `form`.
inline std::size_t matchingBytes(std::string_view text, std::size_t at,
                                 const WellFormedForm& form) {
  std::size_t n = 0;
  while (n < form.length && at + n < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at + n]);
    if (byte < form.bytes[n].low || byte > form.bytes[n].high) break;
    ++n;
  }
  return n;
}

// Lossy decoding: a complete well-formed sequence is copied; otherwise the longest start of
// one (a maximal subpart, at least one byte) becomes U+FFFD.
inline std::string referenceLossyUtf8(std::string_view text) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t longest = 0;
    bool complete = false;
    for (const WellFormedForm& form : kWellFormed) {
      const std::size_t n = matchingBytes(text, at, form);
      if (n == form.length) complete = true;
      if (n > longest) longest = n;
    }
    if (complete) {
      out.append(text.substr(at, longest));
    } else {
      out.append("\xEF\xBF\xBD");
      if (longest == 0) longest = 1;
    }
    at += longest;
  }
  return out;
}

// Well-formed UTF-8: every sequence decodes to a scalar value (not a surrogate, at most
// U+10FFFF) in its shortest form.
inline bool isWellFormedUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    std::uint32_t value;
    if (lead < 0x80) {
      length = 1;
      value = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      value = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - at < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[at + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = value << 6 | (next & 0x3F);
    }
    constexpr std::uint32_t kShortest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (length > 1 && value < kShortest[length]) return false;
    if (value >= 0xD800 && value <= 0xDFFF) return false;
    if (value > 0x10FFFF) return false;
    at += length;
  }
  return true;
}

}  // namespace wirelens::fuzz
