#include "platform/freebsd/device_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "errors/error_messages.h"
#include "fake_env.h"
#include "kernel_record_bytes.h"

namespace wirelens {
namespace {

using testing::ByteBuffer;
using testing::FakeEnv;
using testing::makeRecord;
using Calls = std::vector<std::string>;

constexpr int kFullFd = 3;
constexpr int kPlainFd = 4;

ByteBuffer makeRecords(std::size_t count) {
  ByteBuffer all;
  for (std::size_t i = 0; i < count; ++i) {
    ByteBuffer r = makeRecord();
    testing::setU64(r, 248, 100 + i);
    all.insert(all.end(), r.begin(), r.end());
  }
  return all;
}

// A working device on the full node: the header answers `version` and `recordCount`, the
// read hands over as much of `data` as the buffer holds.
struct Device {
  std::uint32_t version = 1;
  std::uint32_t recordCount = 2;
  ByteBuffer data = makeRecords(2);
  bool headerWasZeroed = false;

  void install(FakeEnv& env) {
    env.onOpen = [](const std::string& path) {
      return path == "/dev/wirelens-full" ? sysValue(kFullFd) : sysError(ENOENT);
    };
    env.onIoctl = [this](int, std::uint64_t request, void* argument) {
      if (request != 0x40105401) return sysError(ENOTTY);
      ByteBuffer header(16);
      headerWasZeroed = std::memcmp(argument, header.data(), 16) == 0;
      testing::setU32(header, 0, version);
      testing::setU32(header, 8, recordCount);
      std::memcpy(argument, header.data(), 16);
      return sysValue(0);
    };
    env.onRead = [this](int, void* buffer, std::size_t size) {
      const std::size_t n = std::min(size, data.size());
      if (n != 0) std::memcpy(buffer, data.data(), n);
      return sysValue(static_cast<std::int64_t>(n));
    };
  }
};

std::string errorText(const CollectorError& error) {
  FakeEnv text;
  return message(error, text);
}

TEST(DeviceBufferSize, AFifthMoreThanAnnouncedWithAFloorAndSpareRoom) {
  const std::pair<std::uint32_t, std::uint64_t> cases[] = {
      {0, 65536},   {117, 65536},   {118, 65600},
      {140, 74240}, {1000, 404480}, {4294967295u, 1649267441280u + 20480u}};
  for (const auto& [count, size] : cases) EXPECT_EQ(deviceBufferSize(count), size) << count;
}

TEST(ReadDeviceSockets, OpensAsksReadsOnceAndCloses) {
  FakeEnv env;
  Device device;
  device.install(env);
  const auto result = readDeviceSockets(env);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.value().size(), 2u);
  EXPECT_EQ(result.value()[0].socketId, 100u);
  EXPECT_EQ(result.value()[1].socketId, 101u);
  EXPECT_TRUE(device.headerWasZeroed);
  EXPECT_EQ(env.calls,
            (Calls{"open /dev/wirelens-full", "ioctl 3 0x40105401", "read 3 65536", "close 3"}));
  EXPECT_TRUE(env.openDescriptors.empty());
}

TEST(ReadDeviceSockets, ReadsAsMuchAsTheHeaderAnnouncesAndMore) {
  for (const auto& [count, size] :
       {std::pair{0u, 65536}, {117u, 65536}, {140u, 74240}, {1000u, 404480}}) {
    FakeEnv env;
    Device device;
    device.recordCount = count;
    device.install(env);
    ASSERT_TRUE(readDeviceSockets(env).ok());
    EXPECT_EQ(env.calls.at(2), "read 3 " + std::to_string(size)) << count;
  }
}

TEST(ReadDeviceSockets, WholeRecordsInAnyNumberAreAccepted) {
  // None at all, fewer than announced, and exactly a full buffer (140 -> 74240 = 232 records).
  for (const auto& [count, records] : {std::pair{5u, 0u}, {5u, 1u}, {140u, 232u}}) {
    FakeEnv env;
    Device device;
    device.recordCount = count;
    device.data = makeRecords(records);
    device.install(env);
    const auto result = readDeviceSockets(env);
    ASSERT_TRUE(result.ok()) << records;
    EXPECT_EQ(result.value().size(), records);
    EXPECT_TRUE(env.openDescriptors.empty());
  }
}

TEST(ReadDeviceSockets, EveryFailureAfterTheOpenClosesTheDevice) {
  struct Case {
    const char* name;
    std::function<void(Device&, FakeEnv&)> change;
    std::string message;
    Calls calls;
  };
  const Calls untilIoctl = {"open /dev/wirelens-full", "ioctl 3 0x40105401", "close 3"};
  const Calls untilRead = {"open /dev/wirelens-full", "ioctl 3 0x40105401", "read 3 65536",
                           "close 3"};
  const Case cases[] = {
      {"header request refused",
       [](Device&, FakeEnv& env) {
         env.onIoctl = [](int, std::uint64_t, void*) { return sysError(ENOTTY); };
       },
       "ioctl 0x40105401 failed: text 25 (os error 25)", untilIoctl},
      {"header of another version", [](Device& d, FakeEnv&) { d.version = 2; },
       "version mismatch: expected 1, got 2", untilIoctl},
      {"read interrupted, not repeated",
       [](Device&, FakeEnv& env) {
         env.onRead = [](int, void*, std::size_t) { return sysError(EINTR); };
       },
       "device read failed: text 4 (os error 4)", untilRead},
      {"part of a record", [](Device& d, FakeEnv&) { d.data.resize(321); },
       "parse error at offset 0: buffer size 321 is not a multiple of record size 320", untilRead},
      {"a whole buffer that is not whole records",
       [](Device& d, FakeEnv&) { d.data = ByteBuffer(70000); },
       "parse error at offset 0: buffer size 65536 is not a multiple of record size 320",
       untilRead},
      {"a record of another version", [](Device& d, FakeEnv&) { testing::setU32(d.data, 320, 3); },
       "version mismatch: expected 1, got 3", untilRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    Device device;
    device.install(env);
    c.change(device, env);
    const auto result = readDeviceSockets(env);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(errorText(result.error()), c.message);
    EXPECT_EQ(env.calls, c.calls);
    EXPECT_TRUE(env.openDescriptors.empty());
  }
}

TEST(ReadDeviceSockets, ABufferTheSystemCannotGrantEndsThePassBeforeAnyRead) {
  const std::uint64_t size = deviceBufferSize(4294967295u);
  // Kept in a volatile so the compiler cannot drop the probe and assume it succeeded.
  void* volatile granted = std::calloc(1, static_cast<std::size_t>(size));
  if (granted != nullptr) {
    std::free(granted);
    GTEST_SKIP() << "this host grants " << size << " bytes";
  }
  FakeEnv env;
  Device device;
  device.recordCount = 4294967295u;
  device.install(env);
  const auto result = readDeviceSockets(env);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(errorText(result.error()), "device read failed: text 12 (os error 12)");
  EXPECT_EQ(env.calls, (Calls{"open /dev/wirelens-full", "ioctl 3 0x40105401", "close 3"}));
  EXPECT_TRUE(env.openDescriptors.empty());
}

TEST(ReadDeviceSockets, BothPathsRefusedReportsTheSecondError) {
  FakeEnv env;
  env.onOpen = [](const std::string& path) {
    return sysError(path == "/dev/wirelens-full" ? EACCES : ENOENT);
  };
  const auto result = readDeviceSockets(env);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(errorText(result.error()),
            "failed to open device /dev/wirelens-full or /dev/wirelens: text 2 (os error 2)");
  EXPECT_EQ(env.calls, (Calls{"open /dev/wirelens-full", "open /dev/wirelens"}));
}

TEST(ReadDeviceSockets, AnyRefusalOfTheFullNodeFallsBackSilently) {
  for (int refusal : {ENOENT, EACCES, EBUSY, ENXIO, EPERM}) {
    FakeEnv env;
    Device device;
    device.install(env);
    env.onOpen = [refusal](const std::string& path) {
      return path == "/dev/wirelens" ? sysValue(kPlainFd) : sysError(refusal);
    };
    const auto result = readDeviceSockets(env);
    ASSERT_TRUE(result.ok()) << refusal;
    EXPECT_EQ(result.value().size(), 2u);
    EXPECT_EQ(env.calls, (Calls{"open /dev/wirelens-full", "open /dev/wirelens",
                                "ioctl 4 0x40105401", "read 4 65536", "close 4"}));
  }
}

TEST(ReadDeviceSockets, InterruptedOpensAreRepeated) {
  FakeEnv env;
  Device device;
  device.install(env);
  int interruptions = 2;
  env.onOpen = [&](const std::string& path) {
    if (interruptions-- > 0) return sysError(EINTR);
    return path == "/dev/wirelens-full" ? sysValue(kFullFd) : sysError(ENOENT);
  };
  ASSERT_TRUE(readDeviceSockets(env).ok());
  EXPECT_EQ(env.calls,
            (Calls{"open /dev/wirelens-full", "open /dev/wirelens-full", "open /dev/wirelens-full",
                   "ioctl 3 0x40105401", "read 3 65536", "close 3"}));
}

TEST(ReadDeviceSockets, InterruptedFallbackOpenIsRepeatedToo) {
  FakeEnv env;
  bool interrupted = false;
  env.onOpen = [&](const std::string& path) {
    if (path == "/dev/wirelens-full") return sysError(ENOENT);
    if (!std::exchange(interrupted, true)) return sysError(EINTR);
    return sysError(ENXIO);
  };
  const auto result = readDeviceSockets(env);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(errorText(result.error()),
            "failed to open device /dev/wirelens-full or /dev/wirelens: text 6 (os error 6)");
  EXPECT_EQ(env.calls,
            (Calls{"open /dev/wirelens-full", "open /dev/wirelens", "open /dev/wirelens"}));
}

// Nothing carries over: each pass tries the full node first and reads exactly once.
TEST(ReadDeviceSockets, EveryPassStartsAfresh) {
  FakeEnv env;
  Device device;
  device.install(env);
  env.onOpen = [](const std::string& path) {
    return path == "/dev/wirelens" ? sysValue(kPlainFd) : sysError(ENOENT);
  };
  ASSERT_TRUE(readDeviceSockets(env).ok());
  ASSERT_TRUE(readDeviceSockets(env).ok());
  const Calls pass = {"open /dev/wirelens-full", "open /dev/wirelens", "ioctl 4 0x40105401",
                      "read 4 65536", "close 4"};
  Calls both = pass;
  both.insert(both.end(), pass.begin(), pass.end());
  EXPECT_EQ(env.calls, both);
}

}  // namespace
}  // namespace wirelens
