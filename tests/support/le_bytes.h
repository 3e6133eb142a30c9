// Byte-buffer builders for tests of the kernel decoders: little-endian stores at any offset,
// so a fixture starts from one valid buffer and changes one field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace wirelens::testing {

using ByteBuffer = std::vector<std::byte>;

template <typename T>
void setLe(ByteBuffer& buffer, std::size_t offset, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    buffer.at(offset + i) =
        static_cast<std::byte>(static_cast<std::uint64_t>(value) >> (8 * i) & 0xFF);
  }
}

inline void setU8(ByteBuffer& b, std::size_t offset, std::uint8_t v) {
  setLe(b, offset, v);
}
inline void setU16(ByteBuffer& b, std::size_t offset, std::uint16_t v) {
  setLe(b, offset, v);
}
inline void setI16(ByteBuffer& b, std::size_t offset, std::int16_t v) {
  setLe(b, offset, v);
}
inline void setU32(ByteBuffer& b, std::size_t offset, std::uint32_t v) {
  setLe(b, offset, v);
}
inline void setI32(ByteBuffer& b, std::size_t offset, std::int32_t v) {
  setLe(b, offset, v);
}
inline void setU64(ByteBuffer& b, std::size_t offset, std::uint64_t v) {
  setLe(b, offset, v);
}

inline void setBytes(ByteBuffer& b, std::size_t offset, std::string_view raw) {
  for (std::size_t i = 0; i < raw.size(); ++i) b.at(offset + i) = static_cast<std::byte>(raw[i]);
}

inline ByteBuffer bytesOf(std::string_view raw) {
  ByteBuffer b(raw.size());
  setBytes(b, 0, raw);
  return b;
}

inline ByteBuffer concat(std::initializer_list<ByteBuffer> parts) {
  ByteBuffer out;
  for (const ByteBuffer& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace wirelens::testing
