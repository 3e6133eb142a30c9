#include "document/socket_record_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "memory_sinks.h"
#include "record_fixtures.h"

namespace wirelens {
namespace {

struct Written {
  std::string text;
  std::optional<SerializerError> error;
};

Written write(const SocketRecord& record, OutputStyle style = OutputStyle::compact) {
  StringSink sink;
  JsonWriter writer(sink, style);
  writeSocketRecord(writer, record);
  JsonStatus status = writer.status();
  Written w{sink.text(), std::nullopt};
  if (!status.ok()) w.error = status.error();
  return w;
}

std::string text(const SocketRecord& record, OutputStyle style = OutputStyle::compact) {
  Written w = write(record, style);
  EXPECT_FALSE(w.error.has_value()) << w.text;
  return w.text;
}

Address bytes(std::initializer_list<std::uint8_t> list) {
  Address a;
  for (std::uint8_t b : list) a.bytes[a.size++] = b;
  return a;
}

const std::string kFullCompact =
    R"({"localAddr":"IAENuAAAAAAAAAAAAAAAAQ==","remoteAddr":"AAAAAAAAAAAAAP//CgAAAg==",)"
    R"("localPort":22,"remotePort":52144,"ipVersion":"IP_VERSION_6","socketId":"6",)"
    R"("state":"TCP_STATE_ESTABLISHED","tcpFlags":8,"sndCwnd":9,"sndSsthresh":10,"sndWnd":11,)"
    R"("rcvWnd":12,"maxseg":13,"ccAlgo":"text14","tcpStack":"text15","rttUs":16,)"
    R"("rttvarUs":17,"rtoUs":18,"rttMinUs":19,"rttCurUs":20,"rttUpdateCount":21,"sndNxt":22,)"
    R"("sndUna":23,"sndMax":24,"rcvNxt":25,"rcvAdv":26,"sndWscale":27,"rcvWscale":28,)"
    R"("rexmitPackets":29,"oooPackets":30,"zerowinProbes":31,"dupacks":32,"sackBlocks":33,)"
    R"("dsackBytes":34,"dsackPackets":35,"rxtShift":36,"txBytes":"37","rxBytes":"38",)"
    R"("txPackets":"39","rxPackets":"40","retransmitBytes":"41","oooBytes":"42",)"
    R"("retransmitPacketsTotal":"43","timerRexmtMs":44,"timerPersistMs":45,"timerKeepMs":46,)"
    R"("timer2mslMs":47,"timerDelackMs":48,"idleTimeMs":49,"sndBufUsed":50,"sndBufHiwat":51,)"
    R"("rcvBufUsed":52,"rcvBufHiwat":53,"pid":-54,"effectivePid":-55,"uid":56,"fd":-57,)"
    R"("command":"text58","ecnFlags":59,"ecnCeDelivered":60,"ecnCeReceived":61,)"
    R"("negotiatedOptions":62,"tfoStateMacos":63,"tfoNegotiated":true,"inLossRecovery":false,)"
    R"("reorderingDetected":true,"tlpProbesSent":67,"tlpBytesSent":"68","encapsPort":69,)"
    R"("inpGencnt":"70","startTimeSecs":71,"deltaRexmitPackets":-72,"deltaOooPackets":-73,)"
    R"("deltaZerowin":-74,"connectionAgeMs":"75","deltaTxBytes":"-76","deltaRxBytes":"-77",)"
    R"("sources":["DATA_SOURCE_FREEBSD_KLD","DATA_SOURCE_KERN_FILE"]})";

const std::string kFullPretty = R"({
  "localAddr": "IAENuAAAAAAAAAAAAAAAAQ==",
  "remoteAddr": "AAAAAAAAAAAAAP//CgAAAg==",
  "localPort": 22,
  "remotePort": 52144,
  "ipVersion": "IP_VERSION_6",
  "socketId": "6",
  "state": "TCP_STATE_ESTABLISHED",
  "tcpFlags": 8,
  "sndCwnd": 9,
  "sndSsthresh": 10,
  "sndWnd": 11,
  "rcvWnd": 12,
  "maxseg": 13,
  "ccAlgo": "text14",
  "tcpStack": "text15",
  "rttUs": 16,
  "rttvarUs": 17,
  "rtoUs": 18,
  "rttMinUs": 19,
  "rttCurUs": 20,
  "rttUpdateCount": 21,
  "sndNxt": 22,
  "sndUna": 23,
  "sndMax": 24,
  "rcvNxt": 25,
  "rcvAdv": 26,
  "sndWscale": 27,
  "rcvWscale": 28,
  "rexmitPackets": 29,
  "oooPackets": 30,
  "zerowinProbes": 31,
  "dupacks": 32,
  "sackBlocks": 33,
  "dsackBytes": 34,
  "dsackPackets": 35,
  "rxtShift": 36,
  "txBytes": "37",
  "rxBytes": "38",
  "txPackets": "39",
  "rxPackets": "40",
  "retransmitBytes": "41",
  "oooBytes": "42",
  "retransmitPacketsTotal": "43",
  "timerRexmtMs": 44,
  "timerPersistMs": 45,
  "timerKeepMs": 46,
  "timer2mslMs": 47,
  "timerDelackMs": 48,
  "idleTimeMs": 49,
  "sndBufUsed": 50,
  "sndBufHiwat": 51,
  "rcvBufUsed": 52,
  "rcvBufHiwat": 53,
  "pid": -54,
  "effectivePid": -55,
  "uid": 56,
  "fd": -57,
  "command": "text58",
  "ecnFlags": 59,
  "ecnCeDelivered": 60,
  "ecnCeReceived": 61,
  "negotiatedOptions": 62,
  "tfoStateMacos": 63,
  "tfoNegotiated": true,
  "inLossRecovery": false,
  "reorderingDetected": true,
  "tlpProbesSent": 67,
  "tlpBytesSent": "68",
  "encapsPort": 69,
  "inpGencnt": "70",
  "startTimeSecs": 71,
  "deltaRexmitPackets": -72,
  "deltaOooPackets": -73,
  "deltaZerowin": -74,
  "connectionAgeMs": "75",
  "deltaTxBytes": "-76",
  "deltaRxBytes": "-77",
  "sources": [
    "DATA_SOURCE_FREEBSD_KLD",
    "DATA_SOURCE_KERN_FILE"
  ]
})";

TEST(SocketRecordWriter, FullRecordInBothStyles) {
  EXPECT_EQ(text(testing::fullRecord()), kFullCompact);
  EXPECT_EQ(text(testing::fullRecord(), OutputStyle::pretty), kFullPretty);
}

TEST(SocketRecordWriter, RecordWithNothingSetIsEmptyObject) {
  EXPECT_EQ(text(SocketRecord{}), "{}");
  EXPECT_EQ(text(SocketRecord{}, OutputStyle::pretty), "{}");
  EXPECT_EQ(memberCount(SocketRecord{}), 0u);
  EXPECT_EQ(memberCount(testing::fullRecord()), 78u);
}

TEST(SocketRecordWriter, OptionalMembersHoldingZeroEmptyOrFalseAreWritten) {
  SocketRecord r;
  r.set<"tcpFlags">(0);
  r.set<"txBytes">(0);
  r.set<"pid">(0);
  r.set<"deltaTxBytes">(0);
  r.set<"command">("");
  r.set<"tfoNegotiated">(false);
  EXPECT_EQ(text(r), R"({"tcpFlags":0,"txBytes":"0","pid":0,"command":"","tfoNegotiated":false,)"
                     R"("deltaTxBytes":"0"})");
  r.clear<"txBytes">();
  r.clear<"command">();
  EXPECT_EQ(text(r), R"({"tcpFlags":0,"pid":0,"tfoNegotiated":false,"deltaTxBytes":"0"})");
}

TEST(SocketRecordWriter, PlainMembersAtTheirDefaultAreLeftOut) {
  SocketRecord r = testing::fullRecord();
  r.localAddr = Address{};
  r.localPort = 0;
  r.ipVersion = 0;
  r.state = 0;
  r.sources = DataSourceList{};
  const std::string out = text(r);
  for (const char* key : {"localAddr", "localPort", "ipVersion", "\"state", "sources"}) {
    EXPECT_EQ(out.find(key), std::string::npos) << key;
  }
  EXPECT_EQ(memberCount(r), 73u);

  SocketRecord zeros;
  zeros.remoteAddr = bytes({0, 0, 0, 0});  // an address of zeros is still an address
  zeros.remotePort = 1;
  zeros.sources.push_back(0);
  zeros.sources.push_back(5);
  zeros.sources.push_back(0);
  EXPECT_EQ(text(zeros), R"({"remoteAddr":"AAAAAA==","remotePort":1,)"
                         R"("sources":["DATA_SOURCE_UNKNOWN","DATA_SOURCE_FREEBSD_KLD",)"
                         R"("DATA_SOURCE_UNKNOWN"]})");
}

TEST(SocketRecordWriter, SignedAndWideValues) {
  SocketRecord r;
  r.localAddr = bytes({127, 0, 0, 1});
  r.set<"pid">(-1);
  r.set<"deltaTxBytes">(-1500);
  r.set<"deltaRxBytes">(INT64_MIN);
  r.set<"inpGencnt">(UINT64_MAX);
  r.set<"sndNxt">(UINT32_MAX);
  r.set<"ccAlgo">("new\"reno\"");
  EXPECT_EQ(text(r), R"({"localAddr":"fwAAAQ==","ccAlgo":"new\"reno\"","sndNxt":4294967295,)"
                     R"("pid":-1,"inpGencnt":"18446744073709551615","deltaTxBytes":"-1500",)"
                     R"("deltaRxBytes":"-9223372036854775808"})");
}

TEST(SocketRecordWriter, UnnamedEnumerationStopsBeforeItsKey) {
  struct Case {
    std::function<void(SocketRecord&)> change;
    std::string written;
    std::string error;
  };
  const std::string beforeIpVersion =
      R"({"localAddr":"IAENuAAAAAAAAAAAAAAAAQ==","remoteAddr":"AAAAAAAAAAAAAP//CgAAAg==",)"
      R"("localPort":22,"remotePort":52144)";
  const std::string beforeState = beforeIpVersion + R"(,"ipVersion":"IP_VERSION_6","socketId":"6")";
  const std::string beforeSources = kFullCompact.substr(0, kFullCompact.find(R"(,"sources")"));
  const std::vector<Case> cases = {
      {[](SocketRecord& r) { r.ipVersion = 3; }, beforeIpVersion, "Invalid variant 3"},
      {[](SocketRecord& r) { r.ipVersion = -2; }, beforeIpVersion, "Invalid variant -2"},
      {[](SocketRecord& r) { r.state = 12; }, beforeState, "Invalid variant 12"},
      {[](SocketRecord& r) { r.state = -1; }, beforeState, "Invalid variant -1"},
      {[](SocketRecord& r) { r.state = INT32_MIN; }, beforeState, "Invalid variant -2147483648"},
      {[](SocketRecord& r) { r.sources.push_back(7); }, beforeSources, "Invalid variant 7"},
      {[](SocketRecord& r) {
         r.sources = DataSourceList{};
         r.sources.push_back(0);
         r.sources.push_back(-1);
         r.sources.push_back(9);
       },
       beforeSources, "Invalid variant -1"},
  };
  for (const Case& c : cases) {
    SocketRecord r = testing::fullRecord();
    c.change(r);
    const Written w = write(r);
    ASSERT_TRUE(w.error.has_value()) << c.error;
    ASSERT_TRUE(std::holds_alternative<std::string>(w.error->kind));
    EXPECT_EQ(std::get<std::string>(w.error->kind), c.error);
    EXPECT_EQ(w.text, c.written) << c.error;
  }
}

TEST(SocketRecordFields, SetReadAndClearByName) {
  SocketRecord r;
  EXPECT_FALSE(r.get<"sndCwnd">().has_value());
  r.set<"sndCwnd">(14480);
  r.set<"tcpStack">("rack");
  r.assign<"negotiatedOptions">(std::optional<std::uint8_t>(7));
  r.assign<"rttUs">(std::optional<std::uint32_t>());
  EXPECT_EQ(r.get<"sndCwnd">(), 14480u);
  EXPECT_EQ(r.get<"tcpStack">(), "rack");
  EXPECT_EQ(r.get<"negotiatedOptions">(), 7u);
  EXPECT_FALSE(r.has<"rttUs">());
  EXPECT_EQ(r.presentCount(), 3u);
  // Members on both sides of the 64-member boundary of the presence mask.
  r.set<"startTimeSecs">(1);
  r.set<"deltaRxBytes">(-1);
  EXPECT_TRUE(r.has<"startTimeSecs">());
  EXPECT_TRUE(r.has<"deltaRxBytes">());
  EXPECT_FALSE(r.has<"deltaTxBytes">());
  r.clear<"sndCwnd">();
  EXPECT_FALSE(r.has<"sndCwnd">());
  EXPECT_EQ(r.presentCount(), 4u);
}

}  // namespace
}  // namespace wirelens
