#include "records/utf8_lossy.h"

#include <string_view>

namespace wirelens {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The continuation bytes a lead byte needs, and the range its first continuation byte must
// fall in; the narrower ranges exclude overlong forms, surrogates and values past U+10FFFF.
struct LeadRule {
  std::size_t continuations = 0;  // 0: the byte can never start a sequence
  unsigned firstLow = 0x80;
  unsigned firstHigh = 0xBF;
};

LeadRule leadRule(unsigned lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {1, 0x80, 0xBF};
  if (lead == 0xE0) return {2, 0xA0, 0xBF};
  if (lead == 0xED) return {2, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {2, 0x80, 0xBF};
  if (lead == 0xF0) return {3, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {3, 0x80, 0xBF};
  if (lead == 0xF4) return {3, 0x80, 0x8F};
  return {};
}

}  // namespace

std::string decodeUtf8Lossy(std::span<const std::byte> bytes) {
  const std::size_t n = bytes.size();
  // Names are nearly always ASCII: the leading ASCII run is taken in one piece.
  std::size_t i = 0;
  while (i < n && std::to_integer<unsigned>(bytes[i]) < 0x80) ++i;
  std::string out(reinterpret_cast<const char*>(bytes.data()), i);
  if (i == n) return out;
  out.reserve(n + kReplacement.size());
  while (i < n) {
    const unsigned lead = std::to_integer<unsigned>(bytes[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    const LeadRule rule = leadRule(lead);
    if (rule.continuations == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    // Take continuation bytes while they fit; the first misfit ends the subpart and is
    // looked at again as the start of what follows.
    std::size_t end = i + 1;
    std::size_t taken = 0;
    unsigned low = rule.firstLow;
    unsigned high = rule.firstHigh;
    while (taken < rule.continuations && end < n) {
      const unsigned next = std::to_integer<unsigned>(bytes[end]);
      if (next < low || next > high) break;
      low = 0x80;
      high = 0xBF;
      ++end;
      ++taken;
    }
    if (taken == rule.continuations) {
      out.append(reinterpret_cast<const char*>(bytes.data() + i), end - i);
    } else {
      out += kReplacement;
    }
    i = end;
  }
  return out;
}

}  // namespace wirelens
