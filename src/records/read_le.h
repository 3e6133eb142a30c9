// readLe<T>(bytes, offset): a little-endian integer read from a byte buffer at any offset,
// aligned or not. Kernel buffers are decoded field by field this way, never by casting.
// A field that does not lie wholly inside the buffer reads as 0, so a caller that got its
// bounds wrong reads nothing it does not own.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <span>
#include <type_traits>

namespace wirelens {

template <typename T>
T readLe(std::span<const std::byte> bytes, std::size_t offset) {
  static_assert(std::is_integral_v<T>);
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return T{0};
  unsigned char raw[sizeof(T)];
  std::memcpy(raw, bytes.data() + offset, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) {
    for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
      const unsigned char low = raw[i];
      raw[i] = raw[sizeof(T) - 1 - i];
      raw[sizeof(T) - 1 - i] = low;
    }
  }
  T value;
  std::memcpy(&value, raw, sizeof(T));
  return value;
}

}  // namespace wirelens
