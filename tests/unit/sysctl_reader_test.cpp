#include "platform/freebsd/sysctl_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "errors/error_messages.h"
#include "fake_env.h"
#include "fake_sysctl.h"

namespace wirelens {
namespace {

using testing::ByteBuffer;
using testing::FakeEnv;
using Calls = std::vector<std::string>;

// A value that probes as `probed` bytes (or fails the probe with `probeError`) and then
// stores `stored` bytes of 0x5A, or fails the read with `readError`. The first call is the
// probe; every read length offered after it is kept in `offered`.
struct Value {
  int probeError = 0;
  std::size_t probed = 0;
  std::size_t stored = 0;
  int readError = 0;
  std::vector<std::size_t> offered{};
  bool readBufferNull = false;
  bool probedYet = false;

  void install(FakeEnv& env) {
    env.onSysctl = [this](const std::string&, void* oldValue, std::size_t* oldLength) {
      if (!std::exchange(probedYet, true)) {
        if (probeError != 0) return probeError;
        *oldLength = probed;
        return 0;
      }
      offered.push_back(*oldLength);
      readBufferNull = oldValue == nullptr;
      if (readError != 0) return readError;
      if (oldValue != nullptr) std::memset(oldValue, 0x5A, std::min(stored, *oldLength));
      *oldLength = stored;
      return 0;
    };
  }
};

const SysctlError::ReadFailed& readFailed(const Result<SysctlValue, SysctlError>& r) {
  return std::get<SysctlError::ReadFailed>(r.error().kind);
}

TEST(ReadSysctl, CapacityIsAQuarterMoreThanProbed) {
  const struct {
    std::size_t probed, stored, capacity, length;
  } cases[] = {
      {1000, 1100, 1250, 1100},  // grown, within the headroom
      {1000, 900, 1250, 900},    // shrunk
      {3, 3, 3, 3},              // 3 / 4 = 0
      {8, 8, 10, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.probed);
    FakeEnv env;
    Value value{.probed = c.probed, .stored = c.stored};
    value.install(env);
    const auto result = readSysctl(env, "kern.file");
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().capacity(), c.capacity);
    EXPECT_EQ(result.value().length, c.length);
    EXPECT_EQ(value.offered, std::vector<std::size_t>{c.capacity});
    const std::span<const std::byte> all = result.value().storage.bytes();
    ASSERT_EQ(all.size(), c.capacity);
    for (std::size_t i = 0; i < all.size(); ++i) {
      ASSERT_EQ(all[i], i < std::min(c.stored, c.capacity) ? std::byte{0x5A} : std::byte{0})
          << "byte " << i;
    }
    EXPECT_EQ(env.calls,
              (Calls{"sysctl kern.file probe", "sysctl kern.file " + std::to_string(c.capacity)}));
  }
}

TEST(ReadSysctl, ALengthPastTheBufferIsAFailureNotALongerValue) {
  FakeEnv env;
  Value value{.probed = 1000, .stored = 1251};
  value.install(env);
  const auto result = readSysctl(env, "kern.file");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(message(result.error(), env),
            "sysctl read failed for kern.file: sysctl returned an invalid length");
}

TEST(ReadSysctl, AnEmptyValueIsStillReadWithARealBuffer) {
  FakeEnv env;
  Value value;
  value.install(env);
  const auto result = readSysctl(env, "kern.empty");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().length, 0u);
  EXPECT_EQ(result.value().capacity(), 0u);
  // A null buffer would be a second probe, blind to a value that has grown.
  EXPECT_FALSE(value.readBufferNull);
  EXPECT_EQ(env.calls, (Calls{"sysctl kern.empty probe", "sysctl kern.empty 0"}));
}

TEST(ReadSysctl, ReturnsTheBytesAsStored) {
  FakeEnv env;
  testing::serveSysctlValues(env, {{"kern.osrelease", testing::bytesOf({"14.1-RELEASE\0", 13})}});
  const auto result = readSysctl(env, "kern.osrelease");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().bytes().size(), 13u);
  EXPECT_EQ(std::memcmp(result.value().bytes().data(), "14.1-RELEASE\0", 13), 0);
}

TEST(ReadSysctl, EveryFailureIsReadFailedWithTheName) {
  struct Case {
    const char* name;
    Value value;
    std::string message;
    Calls calls;
  };
  const Case cases[] = {
      {"missing name",
       {.probeError = ENOENT},
       "sysctl read failed for kern.x: text 2 (os error 2)",
       {"sysctl kern.x probe"}},
      {"value outgrew the headroom, read once",
       {.probed = 1000, .stored = 1300, .readError = ENOMEM},
       "sysctl read failed for kern.x: text 12 (os error 12)",
       {"sysctl kern.x probe", "sysctl kern.x 1250"}},
      {"empty value that has grown",
       {.probed = 0, .stored = 0, .readError = ENOMEM},
       "sysctl read failed for kern.x: text 12 (os error 12)",
       {"sysctl kern.x probe", "sysctl kern.x 0"}},
      {"read refused otherwise",
       {.probed = 10, .readError = EPERM},
       "sysctl read failed for kern.x: text 1 (os error 1)",
       {"sysctl kern.x probe", "sysctl kern.x 12"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    Value value = c.value;
    value.install(env);
    const auto result = readSysctl(env, "kern.x");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(readFailed(result).name, "kern.x");
    EXPECT_EQ(message(result.error(), env), c.message);
    EXPECT_EQ(env.calls, c.calls);
  }
}

TEST(ReadSysctl, ANameWithAZeroByteFailsBeforeAnyCall) {
  FakeEnv env;
  const std::string name("kern\0file", 9);
  const auto result = readSysctl(env, name);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(readFailed(result).name, name);
  EXPECT_EQ(readFailed(result).source, IoError::wrapped(NulByteError{4}));
  EXPECT_EQ(message(result.error(), env),
            "sysctl read failed for " + name + ": nul byte found in provided data at position: 4");
  EXPECT_TRUE(env.calls.empty());
}

// A probe no buffer can answer is ENOMEM, with no read attempted: neither a size whose
// headroom overflows nor one the system will not grant.
TEST(ReadSysctl, AnUnallocatableSizeIsEnomemWithoutARead) {
  for (std::size_t probed : {std::numeric_limits<std::size_t>::max(), std::size_t{1} << 62}) {
    FakeEnv env;
    Value value{.probed = probed};
    value.install(env);
    const auto result = readSysctl(env, "kern.file");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(readFailed(result).source, IoError::os(ENOMEM));
    EXPECT_EQ(env.calls, Calls{"sysctl kern.file probe"});
  }
}

}  // namespace
}  // namespace wirelens
