#include "platform/freebsd/host_facts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fake_env.h"
#include "fake_sysctl.h"

namespace wirelens {
namespace {

using testing::bytesOf;
using testing::FakeEnv;
using Calls = std::vector<std::string>;

TEST(LookupHostName, AsksWithTheLimitButNeverBelow255) {
  const std::pair<long, std::size_t> cases[] = {{-1, 255},  {0, 255},   {64, 255},
                                                {255, 255}, {256, 256}, {1024, 1024}};
  for (const auto& [limit, asked] : cases) {
    FakeEnv env;
    env.onHostNameMax = [limit = limit] { return limit; };
    EXPECT_EQ(lookupHostName(env), "testhost");
    EXPECT_EQ(env.calls, (Calls{"sysconf HOST_NAME_MAX", "gethostname " + std::to_string(asked)}))
        << limit;
  }
}

TEST(LookupHostName, TakesTheBytesBeforeTheFirstZeroDecodedLossily) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"build-07.example.org", "build-07.example.org"},
      {"h\xFFst", "h\xEF\xBF\xBDst"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {std::string_view("a\0b", 3), "a"},
      {"", ""},
  };
  for (const auto& [stored, expected] : cases) {
    FakeEnv env;
    env.onHostName = [stored = stored](char* buffer, std::size_t) {
      std::memcpy(buffer, stored.data(), stored.size());
      return 0;
    };
    EXPECT_EQ(lookupHostName(env), expected);
  }
}

// The last byte of the buffer is never offered, so a name cut off without its terminator
// still ends inside the buffer.
TEST(LookupHostName, ANameFillingTheWholeLengthStillEnds) {
  FakeEnv env;
  env.onHostName = [](char* buffer, std::size_t length) {
    std::memset(buffer, 'a', length);
    return 0;
  };
  EXPECT_EQ(lookupHostName(env), std::string(255, 'a'));
}

TEST(LookupHostName, UnknownWhenTheNameCannotBeRead) {
  FakeEnv env;
  env.onHostName = [](char*, std::size_t) { return ENAMETOOLONG; };
  EXPECT_EQ(lookupHostName(env), "unknown");
}

// A limit no buffer can hold is a failed lookup, not a crash.
TEST(LookupHostName, UnknownWhenTheLimitCannotBeAllocated) {
  FakeEnv env;
  env.onHostNameMax = [] { return std::numeric_limits<long>::max(); };
  EXPECT_EQ(lookupHostName(env), "unknown");
  EXPECT_EQ(env.calls, Calls{"sysconf HOST_NAME_MAX"});
}

TEST(LookupHostName, FollowsAChangeBetweenLookups) {
  FakeEnv env;
  std::string current = "before";
  env.onHostName = [&](char* buffer, std::size_t) {
    std::memcpy(buffer, current.data(), current.size());
    return 0;
  };
  EXPECT_EQ(lookupHostName(env), "before");
  current = "after";
  EXPECT_EQ(lookupHostName(env), "after");
}

TEST(LookupOsVersion, PrefixesTheReleaseWithoutItsTrailingZeros) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {std::string_view("14.1-RELEASE\0", 13), "FreeBSD 14.1-RELEASE"},
      {"14.1-RELEASE", "FreeBSD 14.1-RELEASE"},
      {std::string_view("13.2-STABLE\0\0", 13), "FreeBSD 13.2-STABLE"},
      {std::string_view("a\0b\0", 4), std::string_view("FreeBSD a\0b", 11)},
      {std::string_view(" 15.0 \0", 7), "FreeBSD  15.0 "},
      {"", "FreeBSD "},
      {std::string_view("\0\0\0", 3), "FreeBSD "},
      {std::string_view("14.\xFF\0", 5), "FreeBSD 14.\xEF\xBF\xBD"},
  };
  for (const auto& [stored, expected] : cases) {
    FakeEnv env;
    testing::serveSysctlValues(env, {{"kern.osrelease", bytesOf(stored)}});
    EXPECT_EQ(lookupOsVersion(env), expected) << ::testing::PrintToString(stored);
  }
}

TEST(LookupOsVersion, UnknownWithoutPrefixWhenTheReleaseCannotBeRead) {
  FakeEnv env;
  EXPECT_EQ(lookupOsVersion(env), "unknown");
  EXPECT_EQ(env.calls, Calls{"sysctl kern.osrelease probe"});
}

}  // namespace
}  // namespace wirelens
