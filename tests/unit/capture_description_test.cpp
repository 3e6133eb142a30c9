#include "capture_description.h"

#include <gtest/gtest.h>

#include "records/kernel_record_layout.h"

namespace wirelens::testing {
namespace {

namespace kr = kernel_record;

std::uint64_t field(const RecordImage& record, std::size_t offset, std::size_t width) {
  return loadLe(record.data() + offset, width);
}

std::string bytesAt(const RecordImage& record, std::size_t offset, std::size_t length) {
  return std::string(reinterpret_cast<const char*>(record.data()) + offset, length);
}

RecordImage parsed(std::string_view fields) {
  ParsedRecord result = parseSocketFields(fields);
  EXPECT_EQ(result.error, "") << fields;
  return result.record;
}

TEST(CaptureDescription, FieldsLandAtTheirOffsetsLittleEndian) {
  RecordImage r = parsed(
      "local=192.0.2.7:443 remote=198.51.100.9:50123 state=ESTABLISHED sndCwnd=0x01020304 "
      "timerRexmtMs=-1 tlpBytesSent=0x1122334455667788 inpGencnt=0xa1a2a3a4a5a6a7a8 "
      "sndWscale=7 cc=cubic stack=\\xffrack uid=1001");
  EXPECT_EQ(field(r, kr::kVersionOffset, 4), 1u);
  EXPECT_EQ(field(r, kr::kFamily, 1), 2u);
  EXPECT_EQ(field(r, kr::kFlags, 1), 0u);
  EXPECT_EQ(field(r, kr::kLocalPort, 2), 443u);
  EXPECT_EQ(field(r, kr::kRemotePort, 2), 50123u);
  EXPECT_EQ(bytesAt(r, kr::kLocalAddr, 16),
            std::string("\xc0\x00\x02\x07", 4) + std::string(12, '\0'));
  EXPECT_EQ(bytesAt(r, kr::kRemoteAddr, 4), "\xc6\x33\x64\x09");
  EXPECT_EQ(field(r, kr::kState, 4), 4u);
  EXPECT_EQ(bytesAt(r, kr::kSndCwnd, 4), "\x04\x03\x02\x01");
  EXPECT_EQ(field(r, kr::kTimerRexmtMs, 4), 0xffffffffu);
  EXPECT_EQ(field(r, kr::kTlpBytesSent, 8), 0x1122334455667788u);
  EXPECT_EQ(field(r, kr::kInpGencnt, 8), 0xa1a2a3a4a5a6a7a8u);
  EXPECT_EQ(field(r, kr::kSndWscale, 1), 7u);
  EXPECT_EQ(bytesAt(r, kr::kCcAlgo, 16), std::string("cubic") + std::string(11, '\0'));
  EXPECT_EQ(bytesAt(r, kr::kTcpStack, 6), std::string("\xffrack\0", 6));
  EXPECT_EQ(field(r, kr::kUid, 4), 1001u);
  // Everything not named stays zero.
  EXPECT_EQ(field(r, kr::kRttUs, 4), 0u);
  EXPECT_EQ(bytesAt(r, 268, 52), std::string(52, '\0'));
}

TEST(CaptureDescription, Ipv6AddressesMarkTheRecordUnlessFlagsOrFamilyAreGiven) {
  RecordImage v6 = parsed("remote=[2001:db8::2]:80 localAddr=2001:db8::1");
  EXPECT_EQ(field(v6, kr::kFlags, 1), kr::kFlagIpv6);
  EXPECT_EQ(field(v6, kr::kFamily, 1), kr::kFamilyInet6);
  EXPECT_EQ(bytesAt(v6, kr::kLocalAddr, 16),
            std::string("\x20\x01\x0d\xb8", 4) + std::string(11, '\0') + "\x01");
  EXPECT_EQ(field(v6, kr::kRemotePort, 2), 80u);

  RecordImage overridden = parsed("family=2 local=[::1]:22 flags=0");
  EXPECT_EQ(field(overridden, kr::kFlags, 1), 0u);
  EXPECT_EQ(field(overridden, kr::kFamily, 1), 2u);
}

TEST(CaptureDescription, RawStoresVersionAndOwnMarkerOverrideTheRest) {
  RecordImage r = parsed(
      "@8:u8=0x02 version=2 socketId=own @300:u32=7 @268:hex=deadbeef @56:i32=-2 state=1 "
      "cc=exactly_16_bytes");
  EXPECT_EQ(field(r, kr::kFlags, 1), 2u);
  EXPECT_EQ(field(r, kr::kVersionOffset, 4), 2u);
  EXPECT_EQ(field(r, kr::kSocketId, 8), kOwnSocketMarker);
  EXPECT_EQ(field(r, 300, 4), 7u);
  EXPECT_EQ(bytesAt(r, 268, 4), "\xde\xad\xbe\xef");
  EXPECT_EQ(field(r, kr::kState, 4), 0xfffffffeu);  // the store wins over state=1
  EXPECT_EQ(bytesAt(r, kr::kCcAlgo, 16), "exactly_16_bytes");
}

TEST(CaptureDescription, RejectsBadFieldsWithAMessage) {
  struct Case {
    const char* fields;
    const char* error;
  };
  const Case cases[] = {
      {"nonsense", "field 'nonsense' has no '='"},
      {"mtu=1500", "unknown field 'mtu'"},
      {"localPort=65536", "bad value '65536' for localPort"},
      {"sndWscale=256", "bad value '256' for sndWscale"},
      {"timerKeepMs=2147483648", "bad value '2147483648' for timerKeepMs"},
      {"state=OPEN", "bad state 'OPEN'"},
      {"local=10.0.0.1", "endpoint '10.0.0.1' has no port"},
      {"local=::1:22", "IPv6 endpoint '::1:22' needs [brackets]"},
      {"localAddr=10.0.0.300", "bad address '10.0.0.300'"},
      {"local=10.0.0.1:22 remoteAddr=::1", "IPv4 and IPv6 addresses in one socket"},
      {"stack=freebsd_rack_stack", "stack 'freebsd_rack_stack' is longer than 16 bytes"},
      {"cc=\\xZZ", "bad escape in cc '\\xZZ'"},
      {"@317:u32=1", "store at 317 runs past the record"},
      {"@318:hex=aabbcc", "hex bytes 'aabbcc' do not fit at 318"},
      {"@10=1", "raw store '@10' needs :TYPE"},
      {"@10:f32=1", "unknown store type 'f32'"},
  };
  for (const Case& c : cases) EXPECT_EQ(parseSocketFields(c.fields).error, c.error) << c.fields;
}

TEST(CaptureDescription, ADescriptionIsItsSocketLinesInOrder) {
  ParsedCapture capture = parseCaptureDescription(
      "# header comment\n\nsocket localPort=1   # trailing\r\n  socket localPort=2\nsocket");
  ASSERT_EQ(capture.error, "");
  ASSERT_EQ(capture.bytes.size(), 3 * kr::kSize);
  auto port = [&](std::size_t i) {
    return loadLe(reinterpret_cast<const unsigned char*>(capture.bytes.data()) + i * kr::kSize +
                      kr::kLocalPort,
                  2);
  };
  EXPECT_EQ(port(0), 1u);
  EXPECT_EQ(port(1), 2u);
  EXPECT_EQ(port(2), 0u);

  ParsedCapture bad = parseCaptureDescription("socket localPort=1\nsock localPort=2\n");
  EXPECT_EQ(bad.error, "line 2: expected 'socket', got 'sock'");
  EXPECT_EQ(bad.bytes, "");
}

}  // namespace
}  // namespace wirelens::testing
