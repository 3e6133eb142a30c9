// The real collector under the device emulator: exit status, standard output and standard
// error, byte for byte where the bytes are fixed.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "document/batch_writer.h"
#include "emulator_session.h"
#include "memory_sinks.h"
#include "records/record_assembly.h"
#include "records/record_decoder.h"
#include "run_binary.h"
#include "synthetic_sockets.h"
#include "text_lines.h"

namespace wirelens::testing {
namespace {

RunOutcome runCollector(const EmulatorSession& session, std::vector<std::string> arguments,
                        StdoutMode mode = StdoutMode::Capture) {
  RunOptions options;
  options.arguments = std::move(arguments);
  options.environment = session.environment();
  options.stdoutMode = mode;
  return runBinary(options);
}

std::string osText(int code) {
  return std::strerror(code);
}

std::string collectReport(const std::string& cause) {
  return "Error: failed to collect TCP sockets\n\nCaused by:\n" + cause;
}

std::vector<std::string> lines(const std::string& text) {
  return splitLines(text);
}

// An instrumented collector notes a refused allocation on standard error itself
// ("==PID==WARNING: AddressSanitizer failed to allocate ..."); that line is not the program's.
std::string withoutSanitizerNotes(const std::string& text) {
  std::string out;
  for (const std::string& line : lines(text))
    if (line.rfind("==", 0) != 0 || line.find("Sanitizer") == std::string::npos) out += line + "\n";
  return out;
}

constexpr const char* kOneListener = "socket state=LISTEN local=0.0.0.0:22 socketId=5\n";

TEST(CollectorEndToEnd, DeviceFailuresEndTheRunWithTheirReport) {
  struct Case {
    const char* what;
    std::string scenario;
    std::string report;
  };
  const std::vector<Case> cases = {
      {"no device at all", "open /dev/wirelens-full ENOENT\nopen /dev/wirelens ENOENT\n",
       collectReport(
           "    0: failed to open device /dev/wirelens-full or /dev/wirelens: " + osText(ENOENT) +
           " (os error 2)\n    1: " + osText(ENOENT) + " (os error 2)\n")},
      {"the second open's error is the one reported",
       "open /dev/wirelens-full EACCES\nopen /dev/wirelens ENXIO\n",
       collectReport("    0: failed to open device /dev/wirelens-full or /dev/wirelens: " +
                     osText(ENXIO) + " (os error 6)\n    1: " + osText(ENXIO) + " (os error 6)\n")},
      {"header of another version", "header version=2\n",
       collectReport("    version mismatch: expected 1, got 2\n")},
      {"header request refused", "ioctl ENOTTY\n",
       collectReport("    0: ioctl 0x40105401 failed: " + osText(ENOTTY) +
                     " (os error 25)\n    1: " + osText(ENOTTY) + " (os error 25)\n")},
      {"read fails", "read EIO\n",
       collectReport("    0: device read failed: " + osText(EIO) +
                     " (os error 5)\n    1: " + osText(EIO) + " (os error 5)\n")},
      {"a read of 321 bytes", std::string(kOneListener) + kOneListener + "bytes 321\n",
       collectReport(
           "    parse error at offset 0: buffer size 321 is not a multiple of record size 320\n")},
  };
  for (const Case& c : cases) {
    EmulatorSession session(c.scenario);
    RunOutcome outcome = runCollector(session, {"-c", "1"});
    EXPECT_EQ(outcome.exitStatus, 1) << c.what;
    EXPECT_EQ(outcome.stdoutBytes, "") << c.what;
    EXPECT_EQ(outcome.stderrBytes, c.report) << c.what;
  }
}

TEST(CollectorEndToEnd, BufferTooLargeToAllocateIsReportedNotCrashed) {
  EmulatorSession session("header count=4294967295\n");
  RunOutcome outcome = runCollector(session, {"-c", "1"});
  if (outcome.exitStatus == 0) GTEST_SKIP() << "this host granted a 1.6 TB buffer";
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(withoutSanitizerNotes(outcome.stderrBytes),
            collectReport("    0: device read failed: " + osText(ENOMEM) +
                          " (os error 12)\n    1: " + osText(ENOMEM) + " (os error 12)\n"));
  EXPECT_EQ(session.callLog().find("read "), std::string::npos) << "no read into a smaller buffer";
}

TEST(CollectorEndToEnd, SecondPathIsUsedSilentlyAndTheDeviceIsClosed) {
  EmulatorSession session(std::string("open /dev/wirelens-full ENOENT\n") + kOneListener);
  RunOutcome outcome = runCollector(session, {"-c", "1"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.stderrBytes, "");
  EXPECT_NE(outcome.stdoutBytes.find("\"localPort\":22,"), std::string::npos);
  const std::string log = session.callLog();
  EXPECT_NE(log.find("/dev/wirelens-full"), std::string::npos);
  EXPECT_NE(log.find("close"), std::string::npos) << log;
}

TEST(CollectorEndToEnd, FailureInTheThirdPassFollowsTwoCompleteDocuments) {
  EmulatorSession session(std::string("pass\n") + kOneListener + "pass\n" + kOneListener +
                          "default\nheader version=3\n");
  RunOutcome outcome = runCollector(session, {"-i", "0.01"});
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(outcome.stderrBytes, collectReport("    version mismatch: expected 1, got 3\n"));
  const std::vector<std::string> documents = lines(outcome.stdoutBytes);
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(outcome.stdoutBytes.back(), '\n');
  EXPECT_NE(documents[0].find("\"batchSequence\":\"1\""), std::string::npos);
  EXPECT_NE(documents[1].find("\"batchSequence\":\"2\""), std::string::npos);
}

TEST(CollectorEndToEnd, CountThreeNumbersTheBatches) {
  EmulatorSession session(kOneListener);
  RunOutcome outcome = runCollector(session, {"-c", "3", "-i", "1e-10"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.stderrBytes, "");
  const std::vector<std::string> documents = lines(outcome.stdoutBytes);
  ASSERT_EQ(documents.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const std::string sequence = "\"batchSequence\":\"" + std::to_string(i + 1) + "\"";
    EXPECT_NE(documents[i].find(sequence), std::string::npos) << documents[i];
    // A zero interval: intervalMs is 0 and left out.
    EXPECT_EQ(documents[i].find("intervalMs"), std::string::npos);
  }
}

TEST(CollectorEndToEnd, SocketsHeldByThisTestAreAttributedToIt) {
  const int held = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(held, 0);
  struct stat info {};
  ASSERT_EQ(::fstat(held, &info), 0);
  EmulatorSession session(
      "socket state=ESTABLISHED localPort=1 socketId=" + std::to_string(info.st_ino) +
      "\nsocket state=ESTABLISHED localPort=2 socketId=1\n");
  RunOutcome outcome = runCollector(session, {"-c", "1"});
  ::close(held);
  EXPECT_EQ(outcome.exitStatus, 0);
  const std::string owner =
      "\"pid\":" + std::to_string(::getpid()) + ",\"uid\":0,\"fd\":" + std::to_string(held) + ",";
  const std::vector<std::string> records = [&] {
    std::vector<std::string> out;
    std::regex record(R"(\{"localAddr"[^{}]*\})");
    for (auto it =
             std::sregex_iterator(outcome.stdoutBytes.begin(), outcome.stdoutBytes.end(), record);
         it != std::sregex_iterator(); ++it)
      out.push_back(it->str());
    return out;
  }();
  ASSERT_EQ(records.size(), 2u) << outcome.stdoutBytes;
  EXPECT_NE(records[0].find(owner), std::string::npos) << records[0];
  EXPECT_NE(records[0].find("\"sources\":[\"DATA_SOURCE_FREEBSD_KLD\",\"DATA_SOURCE_KERN_FILE\"]"),
            std::string::npos);
  EXPECT_EQ(records[1].find("\"pid\""), std::string::npos) << records[1];
  EXPECT_NE(records[1].find("\"sources\":[\"DATA_SOURCE_FREEBSD_KLD\"]}"), std::string::npos);
}

TEST(CollectorEndToEnd, LargeDocumentIsByteIdenticalAndEndsWithOneLineFeed) {
  const std::string capture = syntheticRecords(600, 11);  // several hundred kilobytes of JSON
  EmulatorSession session("records big.cap\n");
  session.writeFile("big.cap", capture);
  RunOutcome outcome = runCollector(session, {"-c", "1"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.stderrBytes;

  // The records as the library writes them from the same capture, in memory.
  auto decoded = decodeRecords(std::as_bytes(std::span(capture.data(), capture.size())), 600);
  ASSERT_TRUE(decoded.ok());
  Batch batch;
  batch.records = assembleRecords(decoded.value());
  StringSink sink;
  ASSERT_TRUE(writeBatch(batch, OutputStyle::compact, sink).ok());
  std::string expected = sink.text();  // {"records":[...]}
  expected = expected.substr(1, expected.size() - 2);
  ASSERT_GT(expected.size(), 300000u);

  const std::string& out = outcome.stdoutBytes;
  ASSERT_EQ(lines(out).size(), 1u);
  EXPECT_EQ(out.back(), '\n');
  const std::size_t at = out.find(",\"records\":[");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(out.substr(at + 1, expected.size()), expected);
  EXPECT_EQ(out.compare(at + 1 + expected.size(), 12, ",\"summary\":{"), 0);
}

TEST(CollectorEndToEnd, PrettyDocumentsFollowEachOtherWithoutBlankLines) {
  EmulatorSession session(kOneListener);
  RunOutcome outcome = runCollector(session, {"-c", "3", "-p", "-i", "1e-10"});
  EXPECT_EQ(outcome.exitStatus, 0);
  const std::string& out = outcome.stdoutBytes;
  EXPECT_EQ(out.find("\n\n"), std::string::npos);
  EXPECT_EQ(out.substr(0, 2), "{\n");
  EXPECT_EQ(out.substr(out.size() - 2), "}\n");
  std::size_t documents = 0;
  for (const std::string& line : lines(out)) documents += line == "}" ? 1 : 0;
  EXPECT_EQ(documents, 3u);
  EXPECT_NE(out.find("}\n{\n  \"metadata\": {\n"), std::string::npos);
}

TEST(CollectorEndToEnd, ReaderThatLeavesAfterOneLineGetsTheBrokenPipeReport) {
  for (const char* scenario : {kOneListener, "synthetic 100 seed 3\n"}) {
    EmulatorSession session(scenario);
    RunOutcome outcome =
        runCollector(session, {"-i", "0.05"}, StdoutMode::PipeClosedAfterFirstLine);
    EXPECT_EQ(outcome.exitStatus, 1);
    const std::string pipe = osText(EPIPE) + " (os error 32)\n";
    const std::string flushReport =
        "Error: failed to flush output\n\nCaused by:\n    0: I/O error: " + pipe + "    1: " + pipe;
    const std::string writeReport =
        "Error: failed to write output\n\nCaused by:\n    0: serialization error: " + pipe +
        "    1: " + pipe;
    EXPECT_TRUE(outcome.stderrBytes == flushReport || outcome.stderrBytes == writeReport)
        << outcome.stderrBytes;
    EXPECT_EQ(lines(outcome.stdoutBytes).size(), 1u);
  }
}

TEST(CollectorEndToEnd, FullDeviceGetsTheNoSpaceReport) {
  EmulatorSession session(kOneListener);
  RunOutcome outcome = runCollector(session, {"-c", "2"}, StdoutMode::DevFull);
  EXPECT_EQ(outcome.exitStatus, 1);
  const std::string full = osText(ENOSPC) + " (os error 28)\n";
  EXPECT_EQ(outcome.stderrBytes, "Error: failed to flush output\n\nCaused by:\n    0: I/O error: " +
                                     full + "    1: " + full);
}

TEST(CollectorEndToEnd, ClosedStandardOutputRunsQuietlyToTheEnd) {
  EmulatorSession session(kOneListener);
  RunOutcome outcome = runCollector(session, {"-c", "2", "-i", "1e-10"}, StdoutMode::Closed);
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.stderrBytes, "");
}

}  // namespace
}  // namespace wirelens::testing
