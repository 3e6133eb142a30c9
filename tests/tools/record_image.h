// One 320-byte statistics-device record as test tools build it: zero-filled, every integer
// stored little-endian at its offset. The marker socket id asks the device emulator to put
// in the identity of a socket it holds inside the collector's own process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "records/kernel_record_layout.h"

namespace wirelens::testing {

using RecordImage = std::array<unsigned char, kernel_record::kSize>;

inline constexpr std::uint64_t kOwnSocketMarker = 0x7e57'0000'0000'0001;

// Stores the low `width` bytes of `value` at `offset`; the caller keeps offset + width <= 320.
inline void storeLe(RecordImage& record, std::size_t offset, std::uint64_t value,
                    std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) record[offset + i] = (value >> (8 * i)) & 0xff;
}

inline std::uint64_t loadLe(const unsigned char* bytes, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
  return value;
}

inline void appendRecord(std::string& capture, const RecordImage& record) {
  capture.append(reinterpret_cast<const char*>(record.data()), record.size());
}

}  // namespace wirelens::testing
