#include "json/string_escape.h"

#include <array>
#include <cstring>

namespace wirelens {
namespace {

// For each byte: 0 when it is copied, otherwise the letter after the backslash ('u' for the
// six-byte form).
constexpr std::array<char, 256> kEscapeLetter = [] {
  std::array<char, 256> table{};
  for (int b = 0; b < 0x20; ++b) table[b] = 'u';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  table['"'] = '"';
  table['\\'] = '\\';
  return table;
}();

constexpr char kHexDigits[] = "0123456789abcdef";

char letterOf(char c) {
  return kEscapeLetter[static_cast<unsigned char>(c)];
}

std::size_t runLength(const char* p, const char* end) {
  const char* q = p;
  while (q != end && letterOf(*q) == 0) ++q;
  return static_cast<std::size_t>(q - p);
}

// Writes the escape of `c` at `out` (at most six bytes) and returns its end.
char* putEscape(char* out, char c) {
  const char letter = letterOf(c);
  out[0] = '\\';
  out[1] = letter;
  if (letter != 'u') return out + 2;
  const auto byte = static_cast<unsigned char>(c);
  std::memcpy(out + 2, "00", 2);
  out[4] = kHexDigits[byte >> 4];
  out[5] = kHexDigits[byte & 0xf];
  return out + 6;
}

}  // namespace

char* putEscaped(char* out, std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p != end) {
    const std::size_t run = runLength(p, end);
    std::memcpy(out, p, run);
    out += run;
    p += run;
    if (p == end) break;
    out = putEscape(out, *p++);
  }
  return out;
}

bool appendEscaped(ByteSink& sink, std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p != end) {
    const std::size_t run = runLength(p, end);
    if (!sink.append(p, run)) return false;
    p += run;
    if (p == end) break;
    char escape[kEscapeGrowth];
    const char* escapeEnd = putEscape(escape, *p++);
    if (!sink.append(escape, static_cast<std::size_t>(escapeEnd - escape))) return false;
  }
  return true;
}

}  // namespace wirelens
