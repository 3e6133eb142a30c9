#include "synthetic_sockets.h"

#include <gtest/gtest.h>

#include <set>

#include "record_image.h"

namespace wirelens::testing {
namespace {

namespace kr = kernel_record;

TEST(SyntheticSockets, VariedPlausibleAndDistinct) {
  constexpr std::size_t kCount = 400;
  std::string capture = syntheticRecords(kCount, 11);
  ASSERT_EQ(capture.size(), kCount * kr::kSize);
  std::set<std::uint64_t> states, socketIds;
  std::set<std::size_t> textLengths;
  std::size_t ipv6 = 0;
  for (std::size_t i = 0; i < kCount; ++i) {
    const auto* r = reinterpret_cast<const unsigned char*>(capture.data()) + i * kr::kSize;
    EXPECT_EQ(loadLe(r + kr::kVersionOffset, 4), kr::kVersion);
    std::uint64_t state = loadLe(r + kr::kState, 4);
    states.insert(state);
    socketIds.insert(loadLe(r + kr::kSocketId, 8));
    bool v6 = (r[kr::kFlags] & kr::kFlagIpv6) != 0;
    EXPECT_EQ(r[kr::kFamily], v6 ? kr::kFamilyInet6 : 2u);
    ipv6 += v6;
    for (std::size_t offset : {kr::kCcAlgo, kr::kTcpStack}) {
      std::size_t length = 0;
      while (length < kr::kTextSize && r[offset + length] != 0) ++length;
      textLengths.insert(length);
    }
    EXPECT_GE(loadLe(r + kr::kMaxseg, 4), 536u);
    if (state == 4) {
      EXPECT_GT(loadLe(r + kr::kRttUs, 4), 0u);
    }
  }
  EXPECT_EQ(states.size(), 11u);
  EXPECT_EQ(*states.rbegin(), 10u);
  EXPECT_EQ(socketIds.size(), kCount);
  EXPECT_GT(ipv6, kCount / 5);
  EXPECT_LT(ipv6, kCount - kCount / 5);
  EXPECT_EQ(*textLengths.begin(), 5u);
  EXPECT_EQ(*textLengths.rbegin(), 16u);
}

TEST(SyntheticSockets, SameSeedSameBytes) {
  EXPECT_EQ(syntheticRecords(30, 5), syntheticRecords(30, 5));
  EXPECT_NE(syntheticRecords(30, 5), syntheticRecords(30, 6));
  EXPECT_EQ(syntheticRecords(0, 5), "");
}

}  // namespace
}  // namespace wirelens::testing
