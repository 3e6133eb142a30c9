#include "document/batch_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "limited_sink.h"
#include "memory_sinks.h"

namespace wirelens {
namespace {

struct Written {
  std::string text;
  std::optional<SerializerError> error;
};

Written write(const Batch& batch, OutputStyle style) {
  StringSink sink;
  Result<Done, SerializerError> result = writeBatch(batch, style, sink);
  Written w{sink.text(), std::nullopt};
  if (!result.ok()) w.error = result.error();
  return w;
}

std::string compact(const Batch& batch) {
  Written w = write(batch, OutputStyle::compact);
  EXPECT_FALSE(w.error.has_value()) << w.text;
  return w.text;
}

std::string pretty(const Batch& batch) {
  Written w = write(batch, OutputStyle::pretty);
  EXPECT_FALSE(w.error.has_value()) << w.text;
  return w.text;
}

std::string invalidVariantText(const Written& w) {
  if (!w.error || !std::holds_alternative<std::string>(w.error->kind)) return "(no such error)";
  return std::get<std::string>(w.error->kind);
}

Batch withMetadata(BatchMetadata metadata) {
  Batch b;
  b.metadata = std::move(metadata);
  return b;
}

Batch withSummary(BatchSummary summary) {
  Batch b;
  b.summary = std::move(summary);
  return b;
}

TEST(BatchWriter, HostSourcesAndOnePortInBothStyles) {
  Batch b;
  b.metadata.emplace();
  b.metadata->hostname = "node1";
  b.metadata->dataSources = {5, 6};
  b.records.emplace_back().localPort = 22;
  EXPECT_EQ(compact(b),
            R"({"metadata":{"hostname":"node1","dataSources":["DATA_SOURCE_FREEBSD_KLD",)"
            R"("DATA_SOURCE_KERN_FILE"]},"records":[{"localPort":22}]})");
  EXPECT_EQ(pretty(b), R"({
  "metadata": {
    "hostname": "node1",
    "dataSources": [
      "DATA_SOURCE_FREEBSD_KLD",
      "DATA_SOURCE_KERN_FILE"
    ]
  },
  "records": [
    {
      "localPort": 22
    }
  ]
})");
}

TEST(BatchWriter, EmptyPartsAreEmptyObjectsAndEmptyRecordsAreLeftOut) {
  EXPECT_EQ(compact(Batch{}), "{}");
  EXPECT_EQ(pretty(Batch{}), "{}");

  Batch b;
  b.metadata.emplace();
  b.summary.emplace();
  b.records.emplace_back();
  EXPECT_EQ(compact(b), R"({"metadata":{},"records":[{}],"summary":{}})");
  EXPECT_EQ(pretty(b),
            "{\n  \"metadata\": {},\n  \"records\": [\n    {}\n  ],\n  \"summary\": {}\n}");
  b.records.clear();
  EXPECT_EQ(compact(b), R"({"metadata":{},"summary":{}})");
}

TEST(BatchWriter, FullBatchInBothStyles) {
  Batch b;
  BatchMetadata& m = b.metadata.emplace();
  m.timestampNs = 1700000000123456789;
  m.hostname = "db-7.example";
  m.platform = 2;
  m.osVersion = "14.1-RELEASE";
  m.intervalMs = 1500;
  m.scheduleName = "fast";
  m.dataSources = {5, 6};
  m.collectionDurationNs = 2500000;
  m.pcblistGeneration = 2;
  m.batchSequence = 3;
  m.toolVersion = "wirelens-reader 0.1.0";
  SocketRecord& r = b.records.emplace_back();
  r.state = 2;
  r.set<"uid">(0);
  b.records.emplace_back().set<"fd">(4);
  BatchSummary& s = b.summary.emplace();
  s.timestampNs = 1700000000123999999;
  s.intervalMs = 1500;
  s.totalSockets = 2;
  s.stateCounts = {{2, 1}, {0, 1}};
  s.deltaConnAttempts = 0;
  s.deltaRcvBadsum = 9;
  s.retransmitRate = 0.25;
  s.duplicateRate = 0.0;

  EXPECT_EQ(compact(b),
            R"({"metadata":{"timestampNs":"1700000000123456789","hostname":"db-7.example",)"
            R"("platform":"PLATFORM_FREEBSD","osVersion":"14.1-RELEASE","intervalMs":1500,)"
            R"("scheduleName":"fast","dataSources":["DATA_SOURCE_FREEBSD_KLD",)"
            R"("DATA_SOURCE_KERN_FILE"],"collectionDurationNs":"2500000",)"
            R"("pcblistGeneration":"2","batchSequence":"3",)"
            R"("toolVersion":"wirelens-reader 0.1.0"},)"
            R"("records":[{"state":"TCP_STATE_LISTEN","uid":0},{"fd":4}],)"
            R"("summary":{"timestampNs":"1700000000123999999","intervalMs":1500,)"
            R"("totalSockets":2,"stateCounts":[{"state":"TCP_STATE_LISTEN","count":1},)"
            R"({"count":1}],"deltaConnAttempts":"0","deltaRcvBadsum":"9",)"
            R"("retransmitRate":0.25,"duplicateRate":0.0}})");
  EXPECT_EQ(pretty(b), R"({
  "metadata": {
    "timestampNs": "1700000000123456789",
    "hostname": "db-7.example",
    "platform": "PLATFORM_FREEBSD",
    "osVersion": "14.1-RELEASE",
    "intervalMs": 1500,
    "scheduleName": "fast",
    "dataSources": [
      "DATA_SOURCE_FREEBSD_KLD",
      "DATA_SOURCE_KERN_FILE"
    ],
    "collectionDurationNs": "2500000",
    "pcblistGeneration": "2",
    "batchSequence": "3",
    "toolVersion": "wirelens-reader 0.1.0"
  },
  "records": [
    {
      "state": "TCP_STATE_LISTEN",
      "uid": 0
    },
    {
      "fd": 4
    }
  ],
  "summary": {
    "timestampNs": "1700000000123999999",
    "intervalMs": 1500,
    "totalSockets": 2,
    "stateCounts": [
      {
        "state": "TCP_STATE_LISTEN",
        "count": 1
      },
      {
        "count": 1
      }
    ],
    "deltaConnAttempts": "0",
    "deltaRcvBadsum": "9",
    "retransmitRate": 0.25,
    "duplicateRate": 0.0
  }
})");
}

TEST(BatchWriter, MetadataPresenceRules) {
  BatchMetadata m;
  m.pcblistGeneration = 0;
  EXPECT_EQ(compact(withMetadata(m)), R"({"metadata":{"pcblistGeneration":"0"}})");
  m.pcblistGeneration.reset();
  m.platform = 1;
  EXPECT_EQ(compact(withMetadata(m)), R"({"metadata":{"platform":"PLATFORM_MACOS"}})");
  m.platform = 0;
  m.dataSources = {0, 3, 3};
  EXPECT_EQ(compact(withMetadata(m)),
            R"({"metadata":{"dataSources":["DATA_SOURCE_UNKNOWN","DATA_SOURCE_FREEBSD_PCBLIST",)"
            R"("DATA_SOURCE_FREEBSD_PCBLIST"]}})");
}

TEST(BatchWriter, SummaryPresenceRules) {
  BatchSummary s;
  s.retransmitRate = std::nan("");
  s.duplicateRate = 0.0;
  EXPECT_EQ(compact(withSummary(s)), R"({"summary":{"retransmitRate":null,"duplicateRate":0.0}})");
  s = BatchSummary{};
  s.stateCounts = {{2, 3}, {0, 3}, {0, 0}, {11, 0}};
  EXPECT_EQ(compact(withSummary(s)),
            R"({"summary":{"stateCounts":[{"state":"TCP_STATE_LISTEN","count":3},{"count":3},)"
            R"({},{"state":"TCP_STATE_TIME_WAIT"}]}})");
}

TEST(BatchWriter, UnnamedEnumerationStopsTheDocumentBeforeItsKey) {
  struct Case {
    Batch batch;
    std::string written;
    std::string error;
  };
  BatchMetadata platform;
  platform.hostname = "h";
  platform.platform = 3;
  BatchMetadata sources;
  sources.platform = 2;
  sources.dataSources = {5, 6, 7, -4};
  BatchSummary counts;
  counts.totalSockets = 2;
  counts.stateCounts = {{1, 1}, {12, 1}};
  Batch later;
  later.records.resize(2);
  later.records[0].localPort = 1;
  later.records[1].localPort = 2;
  later.records[1].state = -1;
  later.summary.emplace();

  const std::vector<Case> cases = {
      {withMetadata(platform), R"({"metadata":{"hostname":"h")", "Invalid variant 3"},
      {withMetadata(sources), R"({"metadata":{"platform":"PLATFORM_FREEBSD")", "Invalid variant 7"},
      {withSummary(counts),
       R"({"summary":{"totalSockets":2,"stateCounts":[{"state":"TCP_STATE_CLOSED","count":1},{)",
       "Invalid variant 12"},
      {later, R"({"records":[{"localPort":1},{"localPort":2)", "Invalid variant -1"},
  };
  for (const Case& c : cases) {
    const Written w = write(c.batch, OutputStyle::compact);
    EXPECT_EQ(invalidVariantText(w), c.error);
    EXPECT_EQ(w.text, c.written) << c.error;
  }
}

TEST(BatchWriter, SinkFailureIsTheSerializerErrorHoldingTheIoError) {
  Batch b;
  b.records.resize(200);
  for (SocketRecord& r : b.records) r.set<"ccAlgo">(std::string(40, 'c'));
  testing::LimitedSink sink(5000, ENOSPC);
  Result<Done, SerializerError> result = writeBatch(b, OutputStyle::compact, sink);
  ASSERT_FALSE(result.ok());
  ASSERT_TRUE(std::holds_alternative<IoError>(result.error().kind));
  EXPECT_EQ(std::get<IoError>(result.error().kind), IoError::os(ENOSPC));
  EXPECT_EQ(sink.callsAfterFailure(), 0);
}

}  // namespace
}  // namespace wirelens
