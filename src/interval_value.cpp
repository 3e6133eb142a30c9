#include "interval_value.h"

#include <bit>
#include <cstdint>
#include <limits>

#include "decimal_to_double.h"

namespace wirelens {
namespace {

// An exponent beyond this already makes any digit run overflow or vanish; stopping here
// keeps the arithmetic in range however many digits the exponent has.
constexpr std::int64_t kExponentCap = 1'000'000'000'000'000;

constexpr std::uint32_t kNanosecondsPerSecond = 1'000'000'000;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

std::string_view takeDigits(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && isDigit(text[n])) ++n;
  std::string_view digits = text.substr(0, n);
  text.remove_prefix(n);
  return digits;
}

// digits, or digits '.' digits?, or '.' digits; then (e|E) sign? digits, optionally.
std::optional<double> parseUnsignedNumber(std::string_view text) {
  std::string_view integerDigits = takeDigits(text);
  std::string_view fractionDigits;
  if (!text.empty() && text.front() == '.') {
    text.remove_prefix(1);
    fractionDigits = takeDigits(text);
  }
  if (integerDigits.empty() && fractionDigits.empty()) return std::nullopt;

  std::int64_t exponent = 0;
  if (!text.empty()) {
    if (text.front() != 'e' && text.front() != 'E') return std::nullopt;
    text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
      negative = text.front() == '-';
      text.remove_prefix(1);
    }
    std::string_view exponentDigits = takeDigits(text);
    if (exponentDigits.empty() || !text.empty()) return std::nullopt;
    for (char c : exponentDigits) {
      if (exponent < kExponentCap) exponent = exponent * 10 + (c - '0');
    }
    if (negative) exponent = -exponent;
  }
  return decimalToDouble(integerDigits, fractionDigits, exponent);
}

}  // namespace

Result<double, SecondsSyntaxError> parseSeconds(std::string_view text) {
  if (text.empty()) return fail(SecondsSyntaxError::Empty);
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  double magnitude;
  if (equalsIgnoringCase(text, "inf") || equalsIgnoringCase(text, "infinity")) {
    magnitude = std::numeric_limits<double>::infinity();
  } else if (equalsIgnoringCase(text, "nan")) {
    magnitude = std::numeric_limits<double>::quiet_NaN();
  } else {
    std::optional<double> number = parseUnsignedNumber(text);
    if (!number) return fail(SecondsSyntaxError::InvalidLiteral);
    magnitude = *number;
  }
  return negative ? -magnitude : magnitude;
}

std::optional<Interval> intervalFromSeconds(double seconds) {
  // Written so that NaN fails both comparisons.
  if (!(seconds >= 0.0) || !(seconds < 0x1p64)) return std::nullopt;

  // seconds = mantissa * 2^exponent exactly.
  std::uint64_t bits = std::bit_cast<std::uint64_t>(seconds);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);  // -0.0 carries the sign bit
  int exponent = -1074;
  if (biasedExponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biasedExponent - 1075;
  }
  if (exponent >= 0) return Interval{mantissa << exponent, 0};

  // With 84 or more fraction bits the value is below 2^53 * 2^-84 = 2^-31 s, under half a
  // nanosecond. Fewer keep fraction * 10^9 below 2^114, inside 128 bits.
  int fractionBits = -exponent;
  if (fractionBits >= 84) return Interval{0, 0};
  using Wide = unsigned __int128;
  Wide one = Wide{1} << fractionBits;
  std::uint64_t wholeSeconds = static_cast<std::uint64_t>(Wide{mantissa} >> fractionBits);
  Wide scaled = (Wide{mantissa} & (one - 1)) * kNanosecondsPerSecond;
  std::uint64_t nanoseconds = static_cast<std::uint64_t>(scaled >> fractionBits);
  Wide rest = scaled & (one - 1);
  Wide half = one >> 1;
  if (rest > half || (rest == half && (nanoseconds & 1) != 0)) ++nanoseconds;
  // Cannot overflow the seconds: doubles this close to 2^64 have no fraction.
  if (nanoseconds == kNanosecondsPerSecond) {
    nanoseconds = 0;
    ++wholeSeconds;
  }
  return Interval{wholeSeconds, static_cast<std::uint32_t>(nanoseconds)};
}

}  // namespace wirelens
