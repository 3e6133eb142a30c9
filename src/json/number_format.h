// Decimal text of integers and doubles for the JSON writer. Every put function writes at
// `out`, returns the end of what it wrote and needs the room its kRoom constant names; the
// caller reserves that room first. Integers go eight digits at a time, without a branch per
// digit.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wirelens {

inline constexpr std::size_t kUint32Room = 10;
inline constexpr std::size_t kInt32Room = 11;
inline constexpr std::size_t kUint64Room = 20;
inline constexpr std::size_t kInt64Room = 20;
// Longest layouts: a sign, "0.0000" and 17 digits, or a sign, 17 digits, "e-308".
inline constexpr std::size_t kDoubleRoom = 32;

namespace number_detail {

// 10^k at index k, but 0 at index 0, so that digitCount(0) is 1.
inline constexpr std::uint64_t kPowersOf10[20] = {0,
                                                  10ull,
                                                  100ull,
                                                  1000ull,
                                                  10000ull,
                                                  100000ull,
                                                  1000000ull,
                                                  10000000ull,
                                                  100000000ull,
                                                  1000000000ull,
                                                  10000000000ull,
                                                  100000000000ull,
                                                  1000000000000ull,
                                                  10000000000000ull,
                                                  100000000000000ull,
                                                  1000000000000000ull,
                                                  10000000000000000ull,
                                                  100000000000000000ull,
                                                  1000000000000000000ull,
                                                  10000000000000000000ull};

// Without a branch per digit: log10 from the bit width (1233 / 4096 is just above log10 2),
// then one comparison to correct it. Magnitudes vary from member to member, so branches on
// them would be mispredicted often.
inline unsigned digitCount(std::uint64_t v) {
  const unsigned estimate = static_cast<unsigned>(std::bit_width(v | 1)) * 1233 >> 12;
  return estimate + (v >= kPowersOf10[estimate] ? 1u : 0u);
}

// The eight decimal digits of v < 10^8, leading zeros included, as eight ASCII bytes in
// writing order: the value is split into halves, quarters and single digits side by side
// in one 64-bit word, each division by a constant done as a multiply and a shift.
inline std::uint64_t eightDigits(std::uint32_t v) {
  const std::uint64_t halves = (v / 10000) | (std::uint64_t{v % 10000} << 32);
  // x / 100 == x * 10486 >> 20 for x < 10^4; x / 10 == x * 103 >> 10 for x < 100.
  const std::uint64_t high = (halves * 10486 >> 20) & 0x0000007f0000007full;
  const std::uint64_t quarters = ((halves - 100 * high) << 16) | high;
  const std::uint64_t tens = (quarters * 103 >> 10) & 0x000f000f000f000full;
  const std::uint64_t digits = ((quarters - 10 * tens) << 8) | tens;
  return digits + 0x3030303030303030ull;
}

// Stores the eight bytes at out in writing order, whatever the host's byte order.
inline void storeDigits(char* out, std::uint64_t digits) {
  if constexpr (std::endian::native == std::endian::big) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(digits >> (8 * i));
  } else {
    std::memcpy(out, &digits, 8);
  }
}

// v < 10^8 without leading zeros. Always stores eight bytes; the caller has that room.
inline char* putBelow1e8(char* out, std::uint32_t v) {
  const unsigned n = digitCount(v);
  storeDigits(out, eightDigits(v) >> (8 * (8 - n)));
  return out + n;
}

}  // namespace number_detail

// Both store up to eight bytes past the digits' end, within the room their kRoom names.
inline char* putUint32(char* out, std::uint32_t value) {
  using namespace number_detail;
  if (value < 100000000) return putBelow1e8(out, value);
  out = putBelow1e8(out, value / 100000000);
  storeDigits(out, eightDigits(value % 100000000));
  return out + 8;
}

inline char* putUint64(char* out, std::uint64_t value) {
  using namespace number_detail;
  if (value < 100000000) return putBelow1e8(out, static_cast<std::uint32_t>(value));
  const std::uint64_t high = value / 100000000;
  const auto low = static_cast<std::uint32_t>(value % 100000000);
  if (high < 100000000) {
    out = putBelow1e8(out, static_cast<std::uint32_t>(high));
  } else {
    out = putBelow1e8(out, static_cast<std::uint32_t>(high / 100000000));
    storeDigits(out, eightDigits(static_cast<std::uint32_t>(high % 100000000)));
    out += 8;
  }
  storeDigits(out, eightDigits(low));
  return out + 8;
}

inline char* putInt32(char* out, std::int32_t value) {
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (value < 0) {
    *out++ = '-';
    // Negating in unsigned arithmetic keeps the most negative value representable.
    magnitude = 0u - magnitude;
  }
  return putUint32(out, magnitude);
}

inline char* putInt64(char* out, std::int64_t value) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (value < 0) {
    *out++ = '-';
    magnitude = 0u - magnitude;
  }
  return putUint64(out, magnitude);
}

// The JSON form of a double: "null" for infinities and NaN, otherwise the shortest
// round-trip digits laid out in plain form for decimal exponents -5 to 15 and in exponent
// form ("1e+16", "1.25e-7") beyond.
char* putDouble(char* out, double value);

}  // namespace wirelens
