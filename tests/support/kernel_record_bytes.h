// One valid statistics-device record (version 1, every other byte zero) for tests to start
// from and change field by field.
#pragma once

#include "le_bytes.h"

namespace wirelens::testing {

inline constexpr std::size_t kRecordSize = 320;

inline ByteBuffer makeRecord() {
  ByteBuffer record(kRecordSize);
  setU32(record, 0, 1);
  return record;
}

}  // namespace wirelens::testing
