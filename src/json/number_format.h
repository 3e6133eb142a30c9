// Decimal text of integers and doubles for the JSON writer. Every put function writes at
// `out`, returns the end of what it wrote and needs the room its kRoom constant names; the
// caller reserves that room first. Integers go two digits at a time through a pair table.
#pragma once

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

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline unsigned digitCount(std::uint64_t v) {
  unsigned n = 1;
  for (;;) {
    if (v < 10) return n;
    if (v < 100) return n + 1;
    if (v < 1000) return n + 2;
    if (v < 10000) return n + 3;
    v /= 10000;
    n += 4;
  }
}

// Writes the digits of `v` so that they end exactly at `end`.
template <typename U>
inline void putDigitsBackward(char* end, U v) {
  while (v >= 100) {
    const unsigned pair = static_cast<unsigned>(v % 100) * 2;
    v /= 100;
    end -= 2;
    std::memcpy(end, kDigitPairs + pair, 2);
  }
  if (v >= 10) {
    std::memcpy(end - 2, kDigitPairs + static_cast<unsigned>(v) * 2, 2);
  } else {
    end[-1] = static_cast<char>('0' + v);
  }
}

}  // namespace number_detail

inline char* putUint32(char* out, std::uint32_t value) {
  char* end = out + number_detail::digitCount(value);
  number_detail::putDigitsBackward(end, value);
  return end;
}

inline char* putUint64(char* out, std::uint64_t value) {
  char* end = out + number_detail::digitCount(value);
  number_detail::putDigitsBackward(end, value);
  return end;
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
