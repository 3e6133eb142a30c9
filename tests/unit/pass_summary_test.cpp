#include "records/pass_summary.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace wirelens {
namespace {

std::vector<SocketRecord> recordsInStates(std::initializer_list<std::int32_t> states) {
  std::vector<SocketRecord> records;
  for (std::int32_t state : states) records.emplace_back().state = state;
  return records;
}

using Counts = std::vector<std::pair<std::int32_t, std::uint32_t>>;

Counts counts(const BatchSummary& summary) {
  Counts out;
  for (const StateCount& c : summary.stateCounts) out.emplace_back(c.state, c.count);
  return out;
}

TEST(PassSummary, CountsPerStateInAscendingOrder) {
  struct Case {
    std::vector<SocketRecord> records;
    Counts expected;
  };
  const std::vector<Case> cases = {
      {recordsInStates({5, 2, 5, 11, 5}), {{2, 1}, {5, 3}, {11, 1}}},
      {recordsInStates({5, 0, 3}), {{0, 1}, {3, 1}, {5, 1}}},
      // Numbers assembly never yields still sort among the others.
      {recordsInStates({12, -1, 5, 40, 12, INT32_MIN}),
       {{INT32_MIN, 1}, {-1, 1}, {5, 1}, {12, 2}, {40, 1}}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    const BatchSummary s = buildSummary(c.records, 1000, 7);
    EXPECT_EQ(counts(s), c.expected);
    EXPECT_EQ(s.totalSockets, c.records.size());
    const std::uint32_t sum =
        std::accumulate(s.stateCounts.begin(), s.stateCounts.end(), 0u,
                        [](std::uint32_t total, const StateCount& sc) { return total + sc.count; });
    EXPECT_EQ(sum, s.totalSockets);
  }
}

TEST(PassSummary, TimeAndIntervalAreSetAndChangeCountersAreNot) {
  const BatchSummary s = buildSummary({}, 1500, 1700000000000000000u);
  EXPECT_EQ(s.timestampNs, 1700000000000000000u);
  EXPECT_EQ(s.intervalMs, 1500u);
  EXPECT_EQ(s.totalSockets, 0u);
  EXPECT_TRUE(s.stateCounts.empty());
  for (const std::optional<std::uint64_t>* delta :
       {&s.deltaConnAttempts, &s.deltaAccepts, &s.deltaConnects, &s.deltaDrops,
        &s.deltaSndTotalPackets, &s.deltaSndBytes, &s.deltaSndRexmitPackets, &s.deltaSndRexmitBytes,
        &s.deltaRcvTotalPackets, &s.deltaRcvBytes, &s.deltaRcvDupPackets, &s.deltaRcvBadsum}) {
    EXPECT_FALSE(delta->has_value());
  }
  EXPECT_FALSE(s.retransmitRate.has_value());
  EXPECT_FALSE(s.duplicateRate.has_value());
}

}  // namespace
}  // namespace wirelens
