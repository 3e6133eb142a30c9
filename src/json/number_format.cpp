#include "json/number_format.h"

#include <bit>
#include <charconv>
#include <system_error>

namespace wirelens {
namespace {

constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;
constexpr std::uint64_t kExponentBits = std::uint64_t{0x7ff} << 52;

char* putZeros(char* out, int count) {
  for (int i = 0; i < count; ++i) *out++ = '0';
  return out;
}

}  // namespace

char* putDouble(char* out, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  if ((bits & kExponentBits) == kExponentBits) {
    std::memcpy(out, "null", 4);
    return out + 4;
  }
  if ((bits & kSignBit) != 0) *out++ = '-';
  const double magnitude = std::bit_cast<double>(bits & ~kSignBit);
  if (magnitude == 0.0) {
    std::memcpy(out, "0.0", 3);
    return out + 3;
  }

  // The scientific form of to_chars carries exactly the shortest round-trip significand
  // (nearest candidate on ties); only its layout is redone here.
  char scientific[32];
  const std::to_chars_result r = std::to_chars(scientific, scientific + sizeof scientific,
                                               magnitude, std::chars_format::scientific);
  char digits[17];
  int count = 0;
  const char* p = scientific;
  for (; p != r.ptr && *p != 'e'; ++p) {
    if (*p != '.') digits[count++] = *p;
  }
  // p is at 'e', followed by the exponent's sign and at least two digits.
  ++p;
  const bool negativeExponent = *p == '-';
  ++p;
  int exponent = 0;
  for (; p != r.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  if (negativeExponent) exponent = -exponent;

  if (exponent >= -5 && exponent <= 15) {
    if (exponent < 0) {
      std::memcpy(out, "0.", 2);
      out = putZeros(out + 2, -exponent - 1);
      std::memcpy(out, digits, static_cast<std::size_t>(count));
      return out + count;
    }
    if (exponent < count - 1) {
      const int whole = exponent + 1;
      std::memcpy(out, digits, static_cast<std::size_t>(whole));
      out[whole] = '.';
      std::memcpy(out + whole + 1, digits + whole, static_cast<std::size_t>(count - whole));
      return out + count + 1;
    }
    std::memcpy(out, digits, static_cast<std::size_t>(count));
    out = putZeros(out + count, exponent - count + 1);
    std::memcpy(out, ".0", 2);
    return out + 2;
  }

  *out++ = digits[0];
  if (count > 1) {
    *out++ = '.';
    std::memcpy(out, digits + 1, static_cast<std::size_t>(count - 1));
    out += count - 1;
  }
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  return putUint32(out, static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent));
}

}  // namespace wirelens
