#include "records/pass_summary.h"

#include <array>
#include <map>

namespace wirelens {
namespace {

// Assembly only yields states 0 to 11; those are counted in place, any other number (a
// record built elsewhere) in an ordered map that is merged around them.
constexpr std::int32_t kDirectStates = 12;

}  // namespace

BatchSummary buildSummary(std::span<const SocketRecord> records, std::uint32_t intervalMs,
                          std::uint64_t timestampNs) {
  std::array<std::uint32_t, kDirectStates> direct{};
  std::map<std::int32_t, std::uint32_t> others;
  for (const SocketRecord& record : records) {
    if (record.state >= 0 && record.state < kDirectStates) {
      ++direct[static_cast<std::size_t>(record.state)];
    } else {
      ++others[record.state];
    }
  }

  BatchSummary summary;
  summary.timestampNs = timestampNs;
  summary.intervalMs = intervalMs;
  summary.totalSockets = static_cast<std::uint32_t>(records.size());

  std::size_t distinct = others.size();
  for (std::uint32_t count : direct) distinct += count != 0;
  summary.stateCounts.reserve(distinct);
  auto other = others.begin();
  for (; other != others.end() && other->first < 0; ++other) {
    summary.stateCounts.push_back({other->first, other->second});
  }
  for (std::int32_t state = 0; state < kDirectStates; ++state) {
    const std::uint32_t count = direct[static_cast<std::size_t>(state)];
    if (count != 0) summary.stateCounts.push_back({state, count});
  }
  for (; other != others.end(); ++other) {
    summary.stateCounts.push_back({other->first, other->second});
  }
  return summary;
}

}  // namespace wirelens
