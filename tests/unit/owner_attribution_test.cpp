#include "platform/freebsd/owner_attribution.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_env.h"
#include "fake_sysctl.h"
#include "le_bytes.h"
#include "platform/posix_env.h"
#include "sanitizer_build.h"

namespace wirelens {
namespace {

using testing::ByteBuffer;
using testing::concat;
using testing::FakeEnv;
using Owner = std::optional<std::pair<std::int32_t, std::int32_t>>;

constexpr std::uint64_t kSocketA = 0xFFFFF80011110000u;
constexpr std::uint64_t kSocketB = 0xFFFFF80022220000u;

// One open-file entry, `length` bytes long and declaring `size` (both 128 by default).
ByteBuffer entry(std::int32_t pid, std::int32_t fd, std::uint64_t data, std::int16_t type = 2,
                 std::uint64_t size = 128, std::size_t length = 128) {
  ByteBuffer e(std::max<std::size_t>(length, 64));
  testing::setU64(e, 0, size);
  testing::setI32(e, 8, pid);
  testing::setI32(e, 12, 1001);  // the owner's uid, which is not used
  testing::setI32(e, 16, fd);
  testing::setI16(e, 32, type);
  testing::setU64(e, 56, data);
  e.resize(length);
  return e;
}

DecodedSocket socketWithId(std::optional<std::uint64_t> id) {
  DecodedSocket s;
  s.socketId = id;
  s.sources.push_back(DataSource::freebsdKld);
  return s;
}

DataSourceList sourceList(std::initializer_list<std::int32_t> codes) {
  DataSourceList l;
  for (std::int32_t c : codes) l.push_back(c);
  return l;
}

Owner ownerOf(const DecodedSocket& s) {
  if (!s.pid && !s.fd) return std::nullopt;
  EXPECT_TRUE(s.pid && s.fd);
  return std::pair{s.pid.value_or(-1), s.fd.value_or(-1)};
}

std::vector<DecodedSocket> attribute(FakeEnv& env) {
  std::vector<DecodedSocket> sockets = {socketWithId(kSocketA), socketWithId(kSocketB),
                                        socketWithId(0), socketWithId(std::nullopt)};
  attributeOwners(env, sockets);
  return sockets;
}

TEST(AttributeOwners, DecodesTheOpenFileTable) {
  struct Case {
    const char* name;
    ByteBuffer kernFile;
    Owner a, b, zero;  // expected owners of kSocketA, kSocketB and socket id 0
  };
  const ByteBuffer a = entry(501, 7, kSocketA);
  const ByteBuffer b = entry(502, 9, kSocketB);
  const Case cases[] = {
      {"empty", {}, {}, {}, {}},
      {"7 bytes", ByteBuffer(a.begin(), a.begin() + 7), {}, {}, {}},
      {"whole entries", concat({a, b}), {{501, 7}}, {{502, 9}}, {}},
      {"first size 0", concat({entry(501, 7, kSocketA, 2, 0), b}), {}, {}, {}},
      {"first size 63, one short of the socket key",
       concat({entry(501, 7, kSocketA, 2, 63), b}),
       {},
       {},
       {}},
      {"first size 64, just reaching the key",
       concat({entry(501, 7, kSocketA, 2, 64, 64), entry(502, 9, kSocketB, 2, 64, 64)}),
       {{501, 7}},
       {{502, 9}},
       {}},
      {"first size beyond the buffer", entry(501, 7, kSocketA, 2, 129), {}, {}, {}},
      {"first size equal to the buffer: one entry",
       concat({entry(501, 7, kSocketA, 2, 256), b}),
       {{501, 7}},
       {},
       {}},
      {"the first size holds for all",
       concat({a, entry(502, 9, kSocketB, 2, 64)}),
       {{501, 7}},
       {{502, 9}},
       {}},
      {"two and a half entries",
       concat({a, b, entry(503, 4, 0, 2, 128, 64)}),
       {{501, 7}},
       {{502, 9}},
       {}},
      {"duplicate key: the first entry wins",
       concat({entry(700, 3, kSocketA), a, entry(701, 5, kSocketA)}),
       {{700, 3}},
       {},
       {}},
      {"not a socket", concat({entry(501, 7, kSocketA, 1), b}), {}, {{502, 9}}, {}},
      {"not a socket, then the socket",
       concat({entry(501, 7, kSocketA, 1), a}),
       {{501, 7}},
       {},
       {}},
      {"key 0 is a key like any other", entry(503, 4, 0), {}, {}, {{503, 4}}},
      {"values copied unchanged", entry(-2, -1, kSocketA), {{-2, -1}}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    testing::serveSysctlValues(env, {{"kern.file", c.kernFile}});
    const std::vector<DecodedSocket> sockets = attribute(env);
    const Owner expected[] = {c.a, c.b, c.zero, std::nullopt};
    for (std::size_t i = 0; i < sockets.size(); ++i) {
      EXPECT_EQ(ownerOf(sockets[i]), expected[i]) << "socket " << i;
      EXPECT_EQ(sockets[i].sources, expected[i] ? sourceList({5, 6}) : sourceList({5}))
          << "socket " << i;
    }
  }
}

TEST(AttributeOwners, ReadsTheTableOnceAndAbsorbsItsFailure) {
  FakeEnv env;  // no kern.file: the probe fails
  const std::vector<DecodedSocket> sockets = attribute(env);
  for (const DecodedSocket& s : sockets) {
    EXPECT_EQ(ownerOf(s), std::nullopt);
    EXPECT_EQ(s.sources, sourceList({5}));
  }
  EXPECT_EQ(env.calls, std::vector<std::string>{"sysctl kern.file probe"});

  FakeEnv readable;
  testing::serveSysctlValues(readable, {{"kern.file", entry(501, 7, kSocketA)}});
  attribute(readable);
  EXPECT_EQ(readable.calls,
            (std::vector<std::string>{"sysctl kern.file probe", "sysctl kern.file 160"}));
}

TEST(OwnerTable, WithoutItsMemoryItHoldsNothing) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer ends a refused new";
  // Far more slots than any machine grants, and more than a vector can index.
  for (std::size_t keys : {std::size_t{1} << 56, ~std::size_t{0}}) {
    OwnerTable table(keys);
    table.tryEmplace(kSocketA, SocketOwner{1, 2});
    table.tryEmplace(~std::uint64_t{0}, SocketOwner{3, 4});
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.find(kSocketA), nullptr);
    EXPECT_EQ(table.find(~std::uint64_t{0}), nullptr);
  }
}

TEST(AttributeOwners, NamesTheTableAmongTheSourcesOnce) {
  FakeEnv env;
  testing::serveSysctlValues(env, {{"kern.file", entry(501, 7, kSocketA)}});
  std::vector<DecodedSocket> sockets = {socketWithId(kSocketA)};
  sockets[0].sources.push_back(DataSource::kernFile);
  attributeOwners(env, sockets);
  EXPECT_EQ(ownerOf(sockets[0]), (Owner{{501, 7}}));
  EXPECT_EQ(sockets[0].sources, sourceList({5, 6}));
}

// Off FreeBSD the table comes from /proc, keyed by the socket's inode: a socket this test
// holds must come back with this process and descriptor.
TEST(AttributeOwners, FindsOurOwnSocketThroughThePlatform) {
#if !defined(__linux__)
  GTEST_SKIP() << "socket keys are inodes only where /proc provides the table";
#else
  if (::access("/proc/self/fd", R_OK) != 0) GTEST_SKIP() << "no /proc here";
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  struct stat info {};
  ASSERT_EQ(::fstat(fd, &info), 0);
  std::vector<DecodedSocket> sockets = {socketWithId(static_cast<std::uint64_t>(info.st_ino))};
  PosixEnv env;
  attributeOwners(env, sockets);
  ::close(fd);
  EXPECT_EQ(ownerOf(sockets[0]), (Owner{{static_cast<std::int32_t>(::getpid()), fd}}));
  EXPECT_EQ(sockets[0].sources, sourceList({5, 6}));
#endif
}

}  // namespace
}  // namespace wirelens
