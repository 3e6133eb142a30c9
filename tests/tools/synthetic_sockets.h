// Deterministic, varied statistics-device records for benchmarks and large documents: IPv4
// and IPv6, every TCP state (once the count reaches 11), texts of 5 to 16 bytes, plausible
// windows, round-trip times and counters, and socket ids that never repeat. The same count
// and seed give the same bytes on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wirelens::testing {

std::string syntheticRecords(std::size_t count, std::uint64_t seed);

}  // namespace wirelens::testing
