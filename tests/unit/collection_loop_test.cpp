#include "collection_loop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "fake_env.h"
#include "kernel_record_bytes.h"
#include "program.h"
#include "text_lines.h"

namespace wirelens {
namespace {

using testing::ByteBuffer;
using testing::FakeEnv;
using testing::formatTimespec;

// Serves the statistics device pass by pass: each entry is the bytes one read returns, or
// an errno for the open of both paths. The last entry repeats.
struct DevicePass {
  ByteBuffer bytes;
  int openError = 0;
};

void serveDevice(FakeEnv& env, std::vector<DevicePass> passes) {
  auto index = std::make_shared<std::size_t>(0);
  auto script = std::make_shared<std::vector<DevicePass>>(std::move(passes));
  auto current = [index, script]() -> const DevicePass& {
    return (*script)[std::min(*index, script->size() - 1)];
  };
  env.onOpen = [current, index](const std::string& path) {
    const DevicePass& pass = current();
    if (pass.openError != 0) {
      if (path == "/dev/wirelens") ++*index;
      return sysError(pass.openError);
    }
    return sysValue(3);
  };
  env.onIoctl = [current](int, std::uint64_t, void* argument) {
    unsigned char header[16] = {};
    header[0] = 1;
    const std::uint32_t count = static_cast<std::uint32_t>(current().bytes.size() / 320);
    std::memcpy(header + 8, &count, 4);
    std::memcpy(argument, header, 16);
    return sysValue(0);
  };
  env.onRead = [current, index](int, void* buffer, std::size_t size) {
    const ByteBuffer& bytes = current().bytes;
    const std::size_t n = std::min(size, bytes.size());
    if (n != 0) std::memcpy(buffer, bytes.data(), n);
    ++*index;
    return sysValue(static_cast<std::int64_t>(n));
  };
}

ByteBuffer records(std::initializer_list<std::uint32_t> kernelStates) {
  ByteBuffer out;
  for (std::uint32_t state : kernelStates) {
    ByteBuffer record = testing::makeRecord();
    testing::setU32(record, 56, state);
    testing::setU16(record, 20, 22);
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

Options options(std::uint64_t count, Interval interval = Interval{1, 0}) {
  Options o;
  o.count = count;
  o.interval = interval;
  return o;
}

// The documents of the output, which must end with a line feed.
std::vector<std::string> lines(const std::string& text) {
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "output does not end with a line feed";
  return testing::splitLines(text);
}

TEST(CollectionLoop, OnePassWritesOneDocumentInStepOrderWithoutSleeping) {
  FakeEnv env;
  serveDevice(env, {{records({4}), 0}});
  env.monotonic = {{100, 0}, {100, 2500}};
  env.realtime = {{1765363200, 5}, {1765363200, 9}};
  ASSERT_TRUE(runCollection(env, options(1)).ok());
  EXPECT_EQ(env.calls,
            (std::vector<std::string>{"monotonic", "open /dev/wirelens-full", "ioctl 3 0x40105401",
                                      "read 3 65536", "close 3", "sysctl kern.file probe",
                                      "monotonic", "realtime", "sysconf HOST_NAME_MAX",
                                      "gethostname 255", "sysctl kern.osrelease probe", "realtime",
                                      "write " + std::to_string(env.stdoutBytes.size())}));
  EXPECT_EQ(
      env.stdoutBytes,
      "{\"metadata\":{\"timestampNs\":\"1765363200000000005\",\"hostname\":\"testhost\","
      "\"platform\":\"PLATFORM_FREEBSD\",\"osVersion\":\"unknown\",\"intervalMs\":1000,"
      "\"dataSources\":[\"DATA_SOURCE_FREEBSD_KLD\",\"DATA_SOURCE_KERN_FILE\"],"
      "\"collectionDurationNs\":\"2500\",\"pcblistGeneration\":\"1\",\"batchSequence\":\"1\","
      "\"toolVersion\":\"wirelens-reader 0.1.0\"},"
      "\"records\":[{\"localAddr\":\"AAAAAA==\",\"remoteAddr\":\"AAAAAA==\",\"localPort\":22,"
      "\"ipVersion\":\"IP_VERSION_4\",\"socketId\":\"0\",\"state\":\"TCP_STATE_ESTABLISHED\","
      "\"tcpFlags\":0,\"sndCwnd\":0,\"sndSsthresh\":0,\"sndWnd\":0,\"rcvWnd\":0,\"maxseg\":0,"
      "\"rttUs\":0,\"rttvarUs\":0,\"rtoUs\":0,\"rttMinUs\":0,\"sndNxt\":0,\"sndUna\":0,\"sndMax\":"
      "0,"
      "\"rcvNxt\":0,\"rcvAdv\":0,\"sndWscale\":0,\"rcvWscale\":0,\"rexmitPackets\":0,"
      "\"oooPackets\":0,\"zerowinProbes\":0,\"dupacks\":0,\"sackBlocks\":0,\"dsackBytes\":0,"
      "\"dsackPackets\":0,\"timerRexmtMs\":0,\"timerPersistMs\":0,\"timerKeepMs\":0,"
      "\"timer2mslMs\":0,\"timerDelackMs\":0,\"idleTimeMs\":0,\"sndBufUsed\":0,\"sndBufHiwat\":0,"
      "\"rcvBufUsed\":0,\"rcvBufHiwat\":0,\"uid\":0,\"ecnFlags\":0,\"ecnCeDelivered\":0,"
      "\"ecnCeReceived\":0,\"negotiatedOptions\":0,\"tlpProbesSent\":0,\"tlpBytesSent\":\"0\","
      "\"inpGencnt\":\"0\",\"sources\":[\"DATA_SOURCE_FREEBSD_KLD\"]}],"
      "\"summary\":{\"timestampNs\":\"1765363200000000009\",\"intervalMs\":1000,"
      "\"totalSockets\":1,\"stateCounts\":[{\"state\":\"TCP_STATE_ESTABLISHED\",\"count\":1}]}}\n");
  EXPECT_TRUE(env.sleeps.empty());
  EXPECT_TRUE(env.openDescriptors.empty());
}

TEST(CollectionLoop, CountThreeSleepsTwiceForTheFullIntervalAndNumbersTheBatches) {
  FakeEnv env;
  serveDevice(env, {{records({}), 0}});
  ASSERT_TRUE(runCollection(env, options(3, Interval{1, 500000000})).ok());
  const std::vector<std::string> documents = lines(env.stdoutBytes);
  ASSERT_EQ(documents.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(documents[i].find("\"intervalMs\":1500,"), std::string::npos);
    EXPECT_NE(documents[i].find("\"batchSequence\":\"" + std::to_string(i + 1) + "\""),
              std::string::npos);
  }
  ASSERT_EQ(env.sleeps.size(), 2u);
  for (const Timespec& t : env.sleeps) EXPECT_EQ(formatTimespec(t), "1.500000000");
  // Each sleep follows the pass's write; no sleep follows the last pass.
  std::vector<std::string> shape;
  for (const std::string& call : env.calls) {
    if (call.rfind("write", 0) == 0) shape.push_back("write");
    if (call.rfind("sleep", 0) == 0 || call == "monotonic") shape.push_back(call);
  }
  EXPECT_EQ(shape, (std::vector<std::string>{"monotonic", "monotonic", "write", "sleep 1.500000000",
                                             "monotonic", "monotonic", "write", "sleep 1.500000000",
                                             "monotonic", "monotonic", "write"}));
}

TEST(CollectionLoop, InterruptedSleepResumesWithTheRemainingTime) {
  FakeEnv env;
  serveDevice(env, {{records({}), 0}});
  env.sleepAnswers = {{EINTR, Timespec{0, 400000000}}};
  ASSERT_TRUE(runCollection(env, options(2)).ok());
  ASSERT_EQ(env.sleeps.size(), 2u);
  EXPECT_EQ(formatTimespec(env.sleeps[0]), "1.000000000");
  EXPECT_EQ(formatTimespec(env.sleeps[1]), "0.400000000");
}

TEST(CollectionLoop, ZeroIntervalRunsPassesBackToBack) {
  FakeEnv env;
  serveDevice(env, {{records({}), 0}});
  ASSERT_TRUE(runCollection(env, options(4, Interval{0, 0})).ok());
  EXPECT_EQ(lines(env.stdoutBytes).size(), 4u);
  EXPECT_TRUE(env.sleeps.empty());
  EXPECT_EQ(env.stdoutBytes.find("intervalMs"), std::string::npos);  // 0 is left out
}

TEST(CollectionLoop, FailureInTheThirdPassEndsTheRunAfterTwoDocuments) {
  FakeEnv env;
  serveDevice(env, {{records({1}), 0}, {records({1, 4}), 0}, {{}, ENOENT}});
  Result<Done, TopLevelError> result = runCollection(env, options(0));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(
      formatReport(result.error(), env),
      "Error: failed to collect TCP sockets\n\nCaused by:\n"
      "    0: failed to open device /dev/wirelens-full or /dev/wirelens: text 2 (os error 2)\n"
      "    1: text 2 (os error 2)\n");
  const std::vector<std::string> documents = lines(env.stdoutBytes);
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_NE(documents[1].find("\"totalSockets\":2"), std::string::npos);
  EXPECT_EQ(env.sleeps.size(), 2u);
}

TEST(CollectionLoop, ClocksThatMisbehaveReadAsZero) {
  FakeEnv env;
  serveDevice(env, {{records({}), 0}});
  env.monotonic = {{50, 10}, {49, 999999999}};  // runs backwards
  env.realtime = {{-5, 0}};                     // before the epoch
  ASSERT_TRUE(runCollection(env, options(1)).ok());
  EXPECT_EQ(env.stdoutBytes,
            "{\"metadata\":{\"hostname\":\"testhost\",\"platform\":\"PLATFORM_FREEBSD\","
            "\"osVersion\":\"unknown\",\"intervalMs\":1000,"
            "\"dataSources\":[\"DATA_SOURCE_FREEBSD_KLD\",\"DATA_SOURCE_KERN_FILE\"],"
            "\"pcblistGeneration\":\"0\",\"batchSequence\":\"1\",\"toolVersion\":\"wirelens-reader "
            "0.1.0\"},"
            "\"summary\":{\"intervalMs\":1000}}\n");
}

TEST(CollectionLoop, OutputFailureEndsTheRunWithItsContext) {
  FakeEnv env;
  serveDevice(env, {{records({4}), 0}});
  env.onWriteStdout = [](const void*, std::size_t) { return sysError(EPIPE); };
  Result<Done, TopLevelError> result = runCollection(env, options(0));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(formatReport(result.error(), env),
            "Error: failed to flush output\n\nCaused by:\n    0: I/O error: text 32 (os error 32)\n"
            "    1: text 32 (os error 32)\n");
  EXPECT_TRUE(env.sleeps.empty());
}

TEST(Program, ReportsTheFailureOnStandardErrorWithStatusOne) {
  FakeEnv env;
  const std::vector<std::string_view> arguments = {"-c", "1"};
  EXPECT_EQ(runProgram(env, arguments), 1);
  EXPECT_EQ(env.stdoutBytes, "");
  EXPECT_EQ(
      env.stderrBytes,
      "Error: failed to collect TCP sockets\n\nCaused by:\n"
      "    0: failed to open device /dev/wirelens-full or /dev/wirelens: text 2 (os error 2)\n"
      "    1: text 2 (os error 2)\n");
}

TEST(Program, SuccessfulRunIsSilentOnStandardError) {
  FakeEnv env;
  serveDevice(env, {{records({4}), 0}});
  const std::vector<std::string_view> arguments = {"-c", "2", "-i", "0.25", "-p"};
  EXPECT_EQ(runProgram(env, arguments), 0);
  EXPECT_EQ(env.stderrBytes, "");
  EXPECT_EQ(env.sleeps.size(), 1u);
  EXPECT_EQ(env.stdoutBytes.substr(0, 16), "{\n  \"metadata\": ");
}

}  // namespace
}  // namespace wirelens
