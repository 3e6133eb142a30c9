#include "records/record_assembly.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/socket_record_writer.h"
#include "memory_sinks.h"
#include "record_fixtures.h"

namespace wirelens {
namespace {

std::string json(const SocketRecord& record) {
  StringSink sink;
  JsonWriter writer(sink, OutputStyle::compact);
  writeSocketRecord(writer, record);
  EXPECT_TRUE(writer.status().ok());
  return sink.text();
}

SocketRecord assembleOne(const DecodedSocket& socket) {
  std::vector<SocketRecord> records = assembleRecords(std::span<const DecodedSocket>(&socket, 1));
  EXPECT_EQ(records.size(), 1u);
  return records.empty() ? SocketRecord{} : records.front();
}

Address ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  Address address;
  address.bytes = {a, b, c, d};
  address.size = 4;
  return address;
}

TEST(RecordAssembly, CopiesWhatTheKernelSuppliesAndNothingElse) {
  // Every decoded field is set, rxtShift, startTimeSecs and effectivePid included; those
  // and every member without a kernel source stay out of the record.
  EXPECT_EQ(
      json(assembleOne(testing::fullDecodedSocket())),
      R"({"localAddr":"IAENuAAAAAAAAAAAAAAAAQ==","remoteAddr":"AAAAAAAAAAAAAP//CgAAAg==",)"
      R"("localPort":22,"remotePort":52144,"ipVersion":"IP_VERSION_6","socketId":"6",)"
      R"("state":"TCP_STATE_ESTABLISHED","tcpFlags":8,"sndCwnd":9,"sndSsthresh":10,"sndWnd":11,)"
      R"("rcvWnd":12,"maxseg":13,"ccAlgo":"cubic","tcpStack":"freebsd","rttUs":16,)"
      R"("rttvarUs":17,"rtoUs":18,"rttMinUs":19,"sndNxt":22,"sndUna":23,"sndMax":24,)"
      R"("rcvNxt":25,"rcvAdv":26,"sndWscale":27,"rcvWscale":28,"rexmitPackets":29,)"
      R"("oooPackets":30,"zerowinProbes":31,"dupacks":32,"sackBlocks":33,"dsackBytes":34,)"
      R"("dsackPackets":35,"timerRexmtMs":44,"timerPersistMs":45,"timerKeepMs":46,)"
      R"("timer2mslMs":47,"timerDelackMs":48,"idleTimeMs":49,"sndBufUsed":50,"sndBufHiwat":51,)"
      R"("rcvBufUsed":52,"rcvBufHiwat":53,"pid":-54,"uid":56,"fd":-57,"ecnFlags":59,)"
      R"("ecnCeDelivered":60,"ecnCeReceived":61,"negotiatedOptions":62,"tlpProbesSent":67,)"
      R"("tlpBytesSent":"68","inpGencnt":"70","sources":["DATA_SOURCE_FREEBSD_KLD",)"
      R"("DATA_SOURCE_KERN_FILE"]})");
}

TEST(RecordAssembly, NothingDecodedGivesAnEmptyRecord) {
  EXPECT_EQ(json(assembleOne(DecodedSocket{})), "{}");
  EXPECT_TRUE(assembleRecords({}).empty());
}

TEST(RecordAssembly, KernelStateTable) {
  struct Case {
    std::optional<std::uint32_t> kernel;
    std::int32_t state;
  };
  const std::vector<Case> cases = {
      {0, 1}, {1, 2}, {2, 3},  {3, 4},   {4, 5},  {5, 6},           {6, 7},
      {7, 8}, {8, 9}, {9, 10}, {10, 11}, {11, 0}, {4294967295u, 0}, {std::nullopt, 0},
  };
  for (const Case& c : cases) {
    DecodedSocket s;
    s.state = c.kernel;
    EXPECT_EQ(assembleOne(s).state, c.state) << c.kernel.value_or(99);
  }
}

TEST(RecordAssembly, IpVersionTable) {
  struct Case {
    std::optional<std::uint8_t> decoded;
    std::int32_t ipVersion;
  };
  for (const Case& c : std::vector<Case>{{4, 1}, {6, 2}, {0, 0}, {5, 0}, {std::nullopt, 0}}) {
    DecodedSocket s;
    s.ipVersion = c.decoded;
    EXPECT_EQ(assembleOne(s).ipVersion, c.ipVersion);
  }
}

TEST(RecordAssembly, Ipv4SocketWithoutOwner) {
  DecodedSocket s;
  s.localAddr = ipv4(127, 0, 0, 1);
  s.remoteAddr = ipv4(10, 0, 0, 2);
  s.localPort = 80;
  s.remotePort = 443;
  s.ipVersion = 4;
  s.uid = 0;
  s.sndCwnd = 0;
  s.ccAlgo = "";
  s.sources.push_back(DataSource::freebsdKld);
  EXPECT_EQ(json(assembleOne(s)),
            R"({"localAddr":"fwAAAQ==","remoteAddr":"CgAAAg==","localPort":80,)"
            R"("remotePort":443,"ipVersion":"IP_VERSION_4","sndCwnd":0,"ccAlgo":"","uid":0,)"
            R"("sources":["DATA_SOURCE_FREEBSD_KLD"]})");
}

TEST(RecordAssembly, OneRecordPerSocketInDeviceOrder) {
  std::vector<DecodedSocket> sockets(5);
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    sockets[i].localPort = static_cast<std::uint16_t>(100 + i);
    if (i % 2 == 0) sockets[i].pid = static_cast<std::int32_t>(i);
  }
  const std::vector<SocketRecord> records = assembleRecords(sockets);
  ASSERT_EQ(records.size(), sockets.size());
  EXPECT_EQ(records.capacity(), sockets.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].localPort, 100 + i);
    EXPECT_EQ(records[i].has<"pid">(), i % 2 == 0);
  }
}

}  // namespace
}  // namespace wirelens
