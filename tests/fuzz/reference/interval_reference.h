// Reference readings of an interval value for the fuzz targets, written apart from the
// collector's parser: the grammar as a scan over the text, the number itself from the
// standard library's correctly rounded std::from_chars, and the duration from the double's
// exact value with 128-bit integers (total nanoseconds first, then split).
#pragma once

#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

namespace wirelens::fuzz {

enum class SecondsReading { Number, Empty, Invalid };

struct ReferenceSeconds {
  SecondsReading reading = SecondsReading::Invalid;
  double value = 0;
};

inline bool sameWord(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    if (folded != lower[i]) return false;
  }
  return true;
}

inline ReferenceSeconds referenceSeconds(std::string_view text) {
  if (text.empty()) return {SecondsReading::Empty, 0};
  bool negative = false;
  std::string_view body = text;
  if (body[0] == '+' || body[0] == '-') {
    negative = body[0] == '-';
    body.remove_prefix(1);
  }
  auto signedValue = [&](double magnitude) {
    return ReferenceSeconds{SecondsReading::Number, negative ? -magnitude : magnitude};
  };
  if (sameWord(body, "inf") || sameWord(body, "infinity")) {
    return signedValue(std::numeric_limits<double>::infinity());
  }
  if (sameWord(body, "nan")) return signedValue(std::numeric_limits<double>::quiet_NaN());

  // digits [. digits] | . digits, then optionally e|E [sign] digits, then the end.
  std::size_t at = 0;
  auto isDigit = [&](std::size_t i) { return i < body.size() && body[i] >= '0' && body[i] <= '9'; };
  std::size_t mantissaDigits = 0;
  std::int64_t firstSignificant = 0;  // power of ten of the first non-zero digit
  bool seenSignificant = false;
  std::int64_t integerDigits = 0;
  std::size_t firstIntegerSignificant = 0;  // index among the integer digits
  while (isDigit(at)) {
    if (!seenSignificant && body[at] != '0') {
      seenSignificant = true;
      firstIntegerSignificant = static_cast<std::size_t>(integerDigits);
    }
    ++integerDigits;
    ++mantissaDigits;
    ++at;
  }
  if (seenSignificant) {
    firstSignificant = integerDigits - 1 - static_cast<std::int64_t>(firstIntegerSignificant);
  }
  std::int64_t fractionPosition = 0;
  if (at < body.size() && body[at] == '.') {
    ++at;
    while (isDigit(at)) {
      ++fractionPosition;
      if (!seenSignificant && body[at] != '0') {
        seenSignificant = true;
        firstSignificant = -fractionPosition;
      }
      ++mantissaDigits;
      ++at;
    }
  }
  if (mantissaDigits == 0) return {SecondsReading::Invalid, 0};
  std::int64_t exponent = 0;
  if (at < body.size()) {
    if (body[at] != 'e' && body[at] != 'E') return {SecondsReading::Invalid, 0};
    ++at;
    bool negativeExponent = false;
    if (at < body.size() && (body[at] == '+' || body[at] == '-')) {
      negativeExponent = body[at] == '-';
      ++at;
    }
    if (!isDigit(at)) return {SecondsReading::Invalid, 0};
    while (isDigit(at)) {
      if (exponent < 100'000'000'000'000'000) exponent = exponent * 10 + (body[at] - '0');
      ++at;
    }
    if (at != body.size()) return {SecondsReading::Invalid, 0};
    if (negativeExponent) exponent = -exponent;
  }

  double magnitude = 0;
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), magnitude,
                                            std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Too large for a double, or too small for its least subnormal.
    magnitude = seenSignificant && firstSignificant + exponent > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
  } else if (error != std::errc() || end != body.data() + body.size()) {
    return {SecondsReading::Invalid, 0};  // the grammar and the library disagree
  }
  return signedValue(magnitude);
}

struct ReferenceInterval {
  std::uint64_t seconds = 0;
  std::uint32_t nanoseconds = 0;
};

// Nothing for NaN, negative values (-0 included is fine: it is zero), infinities and
// 2^64 seconds or more.
inline std::optional<ReferenceInterval> referenceInterval(double value) {
  if (value != value || value < 0 || value >= 18446744073709551616.0) return std::nullopt;
  if (value == 0) return ReferenceInterval{};
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<int>(bits >> 52 & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int power = -1074;
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    power = biased - 1075;
  }
  // value * 10^9 = mantissa * 10^9 * 2^power, below 2^94 here.
  using U128 = unsigned __int128;
  U128 total = U128{mantissa} * 1'000'000'000u;
  if (power >= 0) {
    total <<= power;
  } else if (-power >= 127) {
    total = 0;  // far below half a nanosecond
  } else {
    const int shift = -power;
    const U128 quotient = total >> shift;
    const U128 remainder = total - (quotient << shift);
    const U128 half = U128{1} << (shift - 1);
    total = quotient + ((remainder > half || (remainder == half && (quotient & 1) != 0)) ? 1 : 0);
  }
  return ReferenceInterval{static_cast<std::uint64_t>(total / 1'000'000'000u),
                           static_cast<std::uint32_t>(total % 1'000'000'000u)};
}

}  // namespace wirelens::fuzz
