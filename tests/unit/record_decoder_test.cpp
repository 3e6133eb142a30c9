#include "records/record_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "errors/error_messages.h"
#include "fake_env.h"
#include "kernel_record_bytes.h"

namespace wirelens {
namespace {

using testing::ByteBuffer;
using testing::makeRecord;
using testing::setBytes;
using testing::setI32;
using testing::setU16;
using testing::setU32;
using testing::setU64;
using testing::setU8;

DecodedSocket decodeOne(const ByteBuffer& record) {
  Result<DecodedSocket, CollectorError> r =
      decodeRecord(std::span<const std::byte>(record).first<kernel_record::kSize>());
  EXPECT_TRUE(r.ok());
  return r.ok() ? std::move(r).value() : DecodedSocket{};
}

std::string errorText(const CollectorError& error) {
  testing::FakeEnv text;
  return message(error, text);
}

std::vector<std::uint8_t> addressBytes(const Address& a) {
  return std::vector<std::uint8_t>(a.bytes.begin(), a.bytes.begin() + a.size);
}

// Offsets are written out here rather than taken from the layout header, so a wrong constant
// there shows up as a field read from the wrong place.
struct U32Field {
  std::size_t offset;
  std::optional<std::uint32_t> DecodedSocket::*member;
};
const U32Field kU32Fields[] = {
    {56, &DecodedSocket::state},           {60, &DecodedSocket::tcpFlags},
    {64, &DecodedSocket::sndCwnd},         {68, &DecodedSocket::sndSsthresh},
    {72, &DecodedSocket::sndWnd},          {76, &DecodedSocket::rcvWnd},
    {80, &DecodedSocket::maxseg},          {116, &DecodedSocket::rttUs},
    {120, &DecodedSocket::rttvarUs},       {124, &DecodedSocket::rtoUs},
    {128, &DecodedSocket::rttMinUs},       {136, &DecodedSocket::sndNxt},
    {140, &DecodedSocket::sndUna},         {144, &DecodedSocket::sndMax},
    {148, &DecodedSocket::rcvNxt},         {152, &DecodedSocket::rcvAdv},
    {156, &DecodedSocket::rexmitPackets},  {160, &DecodedSocket::oooPackets},
    {164, &DecodedSocket::zerowinProbes},  {168, &DecodedSocket::dupacks},
    {172, &DecodedSocket::sackBlocks},     {176, &DecodedSocket::ecnFlags},
    {180, &DecodedSocket::ecnCeDelivered}, {184, &DecodedSocket::ecnCeReceived},
    {188, &DecodedSocket::dsackBytes},     {192, &DecodedSocket::dsackPackets},
    {196, &DecodedSocket::tlpProbesSent},  {232, &DecodedSocket::sndBufUsed},
    {236, &DecodedSocket::sndBufHiwat},    {240, &DecodedSocket::rcvBufUsed},
    {244, &DecodedSocket::rcvBufHiwat},    {256, &DecodedSocket::uid},
};
const U32Field kTimerFields[] = {
    {208, &DecodedSocket::timerRexmtMs},  {212, &DecodedSocket::timerPersistMs},
    {216, &DecodedSocket::timerKeepMs},   {220, &DecodedSocket::timer2mslMs},
    {224, &DecodedSocket::timerDelackMs}, {228, &DecodedSocket::idleTimeMs},
};

// A record with a distinct value in every field and 0xAB in every byte no field covers.
ByteBuffer makeFullRecord() {
  ByteBuffer r = makeRecord();
  for (std::size_t offset : {4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 17, 18, 19, 135})
    setU8(r, offset, 0xAB);
  for (std::size_t offset = 268; offset < 320; ++offset) setU8(r, offset, 0xAB);
  setU8(r, 8, 0xFE);  // every flag but the IPv6 bit
  setU8(r, 16, 2);
  setU16(r, 20, 0x1F90);
  setU16(r, 22, 0xC350);
  for (std::size_t i = 0; i < 16; ++i) {
    setU8(r, 24 + i, static_cast<std::uint8_t>(0x10 + i));
    setU8(r, 40 + i, static_cast<std::uint8_t>(0x30 + i));
  }
  for (const U32Field& f : kU32Fields) setU32(r, f.offset, 0xA5000000u + f.offset);
  for (const U32Field& f : kTimerFields) setI32(r, f.offset, 1000 + static_cast<int>(f.offset));
  setBytes(r, 84, "cubic");
  setBytes(r, 100, "rack");
  setU8(r, 132, 7);
  setU8(r, 133, 9);
  setU8(r, 134, 0x5A);
  setU64(r, 200, 0x0102030405060708u);
  setU64(r, 248, 0xFFFFF80012345678u);
  setU64(r, 260, 0x1122334455667788u);
  return r;
}

TEST(DecodeRecord, ReadsEveryFieldAtItsOffset) {
  const DecodedSocket s = decodeOne(makeFullRecord());
  for (const U32Field& f : kU32Fields) {
    EXPECT_EQ(s.*f.member, 0xA5000000u + f.offset) << "offset " << f.offset;
  }
  for (const U32Field& f : kTimerFields) {
    EXPECT_EQ(s.*f.member, 1000u + f.offset) << "offset " << f.offset;
  }
  EXPECT_EQ(s.ipVersion, 4);
  EXPECT_EQ(s.localPort, 0x1F90);
  EXPECT_EQ(s.remotePort, 0xC350);
  EXPECT_EQ(addressBytes(s.localAddr), (std::vector<std::uint8_t>{0x10, 0x11, 0x12, 0x13}));
  EXPECT_EQ(addressBytes(s.remoteAddr), (std::vector<std::uint8_t>{0x30, 0x31, 0x32, 0x33}));
  EXPECT_EQ(s.ccAlgo, "cubic");
  EXPECT_EQ(s.tcpStack, "rack");
  EXPECT_EQ(s.sndWscale, 7u);
  EXPECT_EQ(s.rcvWscale, 9u);
  EXPECT_EQ(s.negotiatedOptions, 0x5A);
  EXPECT_EQ(s.tlpBytesSent, 0x0102030405060708u);
  EXPECT_EQ(s.socketId, 0xFFFFF80012345678u);
  EXPECT_EQ(s.inpGencnt, 0x1122334455667788u);
  EXPECT_EQ(s.sources, [] {
    DataSourceList l;
    l.push_back(DataSource::freebsdKld);
    return l;
  }());
  // What the device never provides stays unset.
  EXPECT_FALSE(s.pid || s.fd || s.rxtShift || s.startTimeSecs || s.effectivePid);
}

TEST(DecodeRecord, AllZeroFieldsAreStillSet) {
  const DecodedSocket s = decodeOne(makeRecord());
  for (const U32Field& f : kU32Fields) EXPECT_EQ(s.*f.member, 0u) << "offset " << f.offset;
  EXPECT_EQ(s.socketId, 0u);
  EXPECT_EQ(s.localPort, 0);
  EXPECT_EQ(s.ipVersion, 4);
  EXPECT_EQ(s.localAddr.size, 4);
  EXPECT_FALSE(s.ccAlgo);
  EXPECT_FALSE(s.tcpStack);
}

TEST(DecodeRecord, EitherMarkMakesIpv6) {
  struct Case {
    std::uint8_t flags, family;
    std::uint8_t ipVersion;
  };
  const Case cases[] = {{0x01, 2, 6}, {0x00, 28, 6}, {0x03, 28, 6}, {0xFF, 0, 6},
                        {0x02, 2, 4}, {0x00, 2, 4},  {0x00, 0, 4},  {0xFE, 30, 4}};
  for (const Case& c : cases) {
    ByteBuffer r = makeFullRecord();
    setU8(r, 8, c.flags);
    setU8(r, 16, c.family);
    const DecodedSocket s = decodeOne(r);
    SCOPED_TRACE(::testing::Message() << "flags " << int(c.flags) << " family " << int(c.family));
    EXPECT_EQ(s.ipVersion, c.ipVersion);
    std::vector<std::uint8_t> local, remote;
    for (std::uint8_t i = 0; i < (c.ipVersion == 6 ? 16 : 4); ++i) {
      local.push_back(static_cast<std::uint8_t>(0x10 + i));
      remote.push_back(static_cast<std::uint8_t>(0x30 + i));
    }
    EXPECT_EQ(addressBytes(s.localAddr), local);
    EXPECT_EQ(addressBytes(s.remoteAddr), remote);
  }
}

TEST(DecodeRecord, Ipv4AddressIgnoresTheRestOfTheField) {
  ByteBuffer r = makeRecord();
  setBytes(r, 24, std::string_view("\x7F\x00\x00\x01", 4));
  for (std::size_t offset = 28; offset < 40; ++offset) setU8(r, offset, 0xEE);
  const DecodedSocket s = decodeOne(r);
  EXPECT_EQ(addressBytes(s.localAddr), (std::vector<std::uint8_t>{127, 0, 0, 1}));
  EXPECT_EQ(addressBytes(s.remoteAddr), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(DecodeRecord, TextsEndAtTheFirstZeroAndDecodeLossily) {
  struct Case {
    std::string_view field;  // the 16 bytes, zero-padded when shorter
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"abcdefghijklmnop", "abcdefghijklmnop"},  // all 16 bytes, no terminator
      {"", std::nullopt},
      {std::string_view("\0bbr", 4), std::nullopt},
      {"cubic", "cubic"},
      {std::string_view("new\0reno", 8), "new"},
      {"ab\xFF"
       "cd",
       "ab\xEF\xBF\xBD"
       "cd"},
      {"aaaaaaaaaaaaaaa\xE2", "aaaaaaaaaaaaaaa\xEF\xBF\xBD"},    // cut short by the field end
      {std::string_view("x\xE2\x82\0", 4), "x\xEF\xBF\xBD"},     // cut short by the zero
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
      {"\xC3\xA9", "\xC3\xA9"},
  };
  for (const Case& c : cases) {
    for (std::size_t offset : {84, 100}) {
      ByteBuffer r = makeRecord();
      setBytes(r, offset, c.field);
      const DecodedSocket s = decodeOne(r);
      const std::optional<std::string>& got = offset == 84 ? s.ccAlgo : s.tcpStack;
      const std::optional<std::string>& other = offset == 84 ? s.tcpStack : s.ccAlgo;
      EXPECT_EQ(got, c.expected) << "offset " << offset << " " << ::testing::PrintToString(c.field);
      EXPECT_FALSE(other);
    }
  }
}

TEST(DecodeRecord, NegativeTimersReadAsZero) {
  const std::pair<std::int32_t, std::uint32_t> cases[] = {
      {-1, 0}, {INT32_MIN, 0}, {0, 0}, {1, 1}, {INT32_MAX, 2147483647u}};
  for (const auto& [raw, expected] : cases) {
    for (const U32Field& f : kTimerFields) {
      ByteBuffer r = makeRecord();
      setI32(r, f.offset, raw);
      EXPECT_EQ(decodeOne(r).*f.member, expected) << "offset " << f.offset << " value " << raw;
    }
  }
}

// The record may start anywhere in the device buffer; no field read may assume alignment
// (the sanitizer build catches a misaligned load).
TEST(DecodeRecord, ReadsFromAnyAlignment) {
  const ByteBuffer record = makeFullRecord();
  for (std::size_t shift = 1; shift < 8; ++shift) {
    ByteBuffer padded(shift);
    padded.insert(padded.end(), record.begin(), record.end());
    const auto r = decodeRecord(std::span<const std::byte>(padded).subspan(shift).first<320>());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().inpGencnt, 0x1122334455667788u) << "shift " << shift;
    EXPECT_EQ(r.value().socketId, 0xFFFFF80012345678u) << "shift " << shift;
  }
}

TEST(DecodeRecord, RejectsAnotherVersion) {
  for (std::uint32_t version : {0u, 2u, 0xFFFFFFFFu}) {
    ByteBuffer r = makeFullRecord();
    setU32(r, 0, version);
    const auto result = decodeRecord(std::span<const std::byte>(r).first<320>());
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(errorText(result.error()),
              "version mismatch: expected 1, got " + std::to_string(version));
  }
}

ByteBuffer makeRecords(std::size_t count) {
  ByteBuffer all;
  for (std::size_t i = 0; i < count; ++i) {
    ByteBuffer r = makeRecord();
    setU64(r, 248, 100 + i);
    all.insert(all.end(), r.begin(), r.end());
  }
  return all;
}

TEST(DecodeRecords, KeepsBufferOrder) {
  const ByteBuffer all = makeRecords(5);
  const auto result = decodeRecords(all, 5);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.value().size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(result.value()[i].socketId, 100 + i);
}

TEST(DecodeRecords, NoRecordsIsAnEmptyResult) {
  const auto result = decodeRecords({}, 0);
  ASSERT_TRUE(result.ok());
  EXPECT_TRUE(result.value().empty());
}

TEST(DecodeRecords, AVersionMismatchAnywhereFailsTheWholeDecode) {
  ByteBuffer all = makeRecords(5);
  setU32(all, 2 * 320, 2);
  const auto result = decodeRecords(all, 5);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(errorText(result.error()), "version mismatch: expected 1, got 2");
}

// The count is a claim; only whole records inside the bytes are read.
TEST(DecodeRecords, NeverReadsPastTheBytes) {
  const struct {
    std::size_t bytes, count, decoded;
  } cases[] = {
      {5 * 320, 3, 3}, {2 * 320 + 160, 5, 2}, {319, 1, 0}, {0, 4294967295u, 0}, {320, SIZE_MAX, 1}};
  for (const auto& c : cases) {
    ByteBuffer all = makeRecords(3 + c.bytes / 320);
    all.resize(c.bytes);
    const auto result = decodeRecords(all, c.count);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().size(), c.decoded) << c.bytes << " bytes, count " << c.count;
  }
}

}  // namespace
}  // namespace wirelens
