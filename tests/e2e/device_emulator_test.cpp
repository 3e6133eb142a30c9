// The device emulator and the capture tool, driven by a probe that makes the collector's
// device calls, so that they are known to be right before the collector runs under them.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "emulator_session.h"
#include "run_binary.h"

namespace wirelens::testing {
namespace {

RunOutcome runProbe(const EmulatorSession& session, std::vector<std::string> arguments) {
  RunOptions options;
  options.binary = WIRELENS_EMULATOR_PROBE;
  options.arguments = std::move(arguments);
  options.environment = session.environment();
  return runBinary(options);
}

RunOutcome runCaptureTool(std::vector<std::string> arguments) {
  RunOptions options;
  options.binary = WIRELENS_CAPTURE_TOOL;
  options.arguments = std::move(arguments);
  return runBinary(options);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(DeviceEmulator, AnswersEachPassFromItsPlanAndLogsEveryCall) {
  EmulatorSession session(R"(
pass    # the first path is missing; the second is interrupted once
open /dev/wirelens-full ENOENT
open /dev/wirelens EINTR ok
socket state=LISTEN local=0.0.0.0:22 socketId=5
pass    # no device at all
open /dev/wirelens-full ENOENT
open /dev/wirelens ENOENT
pass    # the first path is interrupted once; a header of another version
open /dev/wirelens-full EINTR ok
header version=2 count=140
pass
ioctl ENOTTY
pass
read EIO
pass
bytes 321
default
socket state=TIME_WAIT localPort=443 socketId=9
)");
  RunOutcome outcome = runProbe(session, {"--passes", "8"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.stderrBytes, "");
  const std::string timeWaitPass =
      "open /dev/wirelens-full -> ok\n"
      "header version=1 count=1\n"
      "read 65536 -> 320\n"
      "record version=1 state=10 localPort=443 socketId=9\n";
  EXPECT_EQ(outcome.stdoutBytes,
            "-- pass 1\n"
            "open /dev/wirelens-full -> ENOENT\n"
            "open /dev/wirelens -> EINTR\n"
            "open /dev/wirelens -> ok\n"
            "header version=1 count=1\n"
            "read 65536 -> 320\n"
            "record version=1 state=1 localPort=22 socketId=5\n"
            "-- pass 2\n"
            "open /dev/wirelens-full -> ENOENT\n"
            "open /dev/wirelens -> ENOENT\n"
            "-- pass 3\n"
            "open /dev/wirelens-full -> EINTR\n"
            "open /dev/wirelens-full -> ok\n"
            "header version=2 count=140\n"
            "read 74240 -> 0\n"
            "-- pass 4\n"
            "open /dev/wirelens-full -> ok\n"
            "ioctl -> ENOTTY\n"
            "-- pass 5\n"
            "open /dev/wirelens-full -> ok\n"
            "header version=1 count=0\n"
            "read 65536 -> EIO\n"
            "-- pass 6\n"
            "open /dev/wirelens-full -> ok\n"
            "header version=1 count=0\n"
            "read 65536 -> 321\n"
            "record version=0 state=0 localPort=0 socketId=0\n"
            "-- pass 7\n" +
                timeWaitPass + "-- pass 8\n" + timeWaitPass);

  const std::string timeWaitLog =
      "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> fd 3\n"
      "ioctl 3 0x40105401 -> 0\n"
      "read 3 65536 -> 320\n"
      "close 3\n";
  EXPECT_EQ(session.callLog(),
            "pass 1\n"
            "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> ENOENT\n"
            "open /dev/wirelens O_RDONLY|O_CLOEXEC -> EINTR\n"
            "open /dev/wirelens O_RDONLY|O_CLOEXEC -> fd 3\n"
            "ioctl 3 0x40105401 -> 0\n"
            "read 3 65536 -> 320\n"
            "close 3\n"
            "pass 2\n"
            "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> ENOENT\n"
            "open /dev/wirelens O_RDONLY|O_CLOEXEC -> ENOENT\n"
            "pass 3\n"
            "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> EINTR\n"
            "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> fd 3\n"
            "ioctl 3 0x40105401 -> 0\n"
            "read 3 74240 -> 0\n"
            "close 3\n"
            "pass 4\n"
            "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> fd 3\n"
            "ioctl 3 0x40105401 -> ENOTTY\n"
            "close 3\n"
            "pass 5\n"
            "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> fd 3\n"
            "ioctl 3 0x40105401 -> 0\n"
            "read 3 65536 -> EIO\n"
            "close 3\n"
            "pass 6\n"
            "open /dev/wirelens-full O_RDONLY|O_CLOEXEC -> fd 3\n"
            "ioctl 3 0x40105401 -> 0\n"
            "read 3 65536 -> 321\n"
            "close 3\n"
            "pass 7\n" +
                timeWaitLog + "pass 8\n" + timeWaitLog);
}

TEST(DeviceEmulator, WithoutADefaultTheLastPassRepeats) {
  EmulatorSession session(
      "socket localPort=1\n"
      "pass\n"
      "open /dev/wirelens-full ENODEV\n"
      "socket localPort=2\n");
  RunOutcome outcome = runProbe(session, {"--passes", "3"});
  const std::string secondPath =
      "open /dev/wirelens-full -> ENODEV\n"
      "open /dev/wirelens -> ok\n"
      "header version=1 count=1\n"
      "read 65536 -> 320\n"
      "record version=1 state=0 localPort=2 socketId=0\n";
  EXPECT_EQ(outcome.stdoutBytes,
            "-- pass 1\n"
            "open /dev/wirelens-full -> ok\n"
            "header version=1 count=1\n"
            "read 65536 -> 320\n"
            "record version=1 state=0 localPort=1 socketId=0\n"
            "-- pass 2\n" +
                secondPath + "-- pass 3\n" + secondPath);
}

TEST(DeviceEmulator, DeliversOnlyTheWholeRecordsThatFitTheBuffer) {
  EmulatorSession session("synthetic 300 seed 4\nheader count=0\n");
  RunOutcome outcome = runProbe(session, {});
  // 65536 bytes hold 204 records (65280 bytes); the other 96 stay in the device.
  EXPECT_NE(outcome.stdoutBytes.find("header version=1 count=0\nread 65536 -> 65280\n"),
            std::string::npos)
      << outcome.stdoutBytes;

  RunOutcome small = runProbe(session, {"--buffer", "1000"});
  EXPECT_NE(small.stdoutBytes.find("read 1000 -> 960\n"), std::string::npos) << small.stdoutBytes;
}

TEST(DeviceEmulator, MarkedRecordsCarryTheInodeOfTheEmulatorsOwnSocket) {
  EmulatorSession session(
      "socket socketId=own state=ESTABLISHED localPort=5000\n"
      "socket socketId=77 localPort=5001\n");
  RunOutcome outcome = runProbe(session, {"--sockets"});
  std::smatch own;
  ASSERT_TRUE(
      std::regex_search(outcome.stdoutBytes, own, std::regex("localPort=5000 socketId=([0-9]+)\n")))
      << outcome.stdoutBytes;
  EXPECT_NE(own[1], "0");
  EXPECT_NE(outcome.stdoutBytes.find("localPort=5001 socketId=77\n"), std::string::npos);
  // Exactly one socket in the process, held above the low descriptors, with that inode.
  std::smatch socket;
  ASSERT_TRUE(std::regex_search(outcome.stdoutBytes, socket,
                                std::regex("socket fd=([0-9]+) inode=([0-9]+)\n$")))
      << outcome.stdoutBytes;
  EXPECT_EQ(socket[2], own[1]);
  EXPECT_GE(std::stoi(socket[1]), 10);
}

TEST(DeviceEmulator, AMalformedScenarioFailsEveryOpenWithEioAndIsReportedOnce) {
  struct Case {
    const char* scenario;
    const char* message;  // after "wirelens-emulator: SCENARIO: "
  };
  const Case cases[] = {
      {"bogus", "line 1: unknown directive 'bogus'"},
      {"\n# fine\nsocket sndCwnd=abc", "line 3: bad value 'abc' for sndCwnd"},
      {"socket cc=this_name_is_too_long",
       "line 1: cc 'this_name_is_too_long' is longer than 16 bytes"},
      {"open /dev/other ok", "line 1: 'open' names an unknown device '/dev/other'"},
      {"open /dev/wirelens EWHAT", "line 1: unknown errno 'EWHAT'"},
      {"header version=x", "line 1: bad header field 'version=x'"},
      {"bytes", "line 1: 'bytes' takes 1 argument(s)"},
      {"default\npass", "line 2: 'pass' after 'default'"},
      {"records none.cap", "line 1: cannot read capture file DIR/none.cap"},
      {"records odd.cap",
       "line 1: capture file DIR/odd.cap holds 5 bytes, not whole 320-byte records"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    EmulatorSession session(c.scenario);
    session.writeFile("odd.cap", "12345");
    RunOutcome outcome = runProbe(session, {"--passes", "2"});
    EXPECT_EQ(outcome.exitStatus, 0);
    std::string message = std::regex_replace(c.message, std::regex("DIR"), session.directory());
    EXPECT_EQ(outcome.stderrBytes,
              "wirelens-emulator: " + session.directory() + "/scenario.txt: " + message + "\n");
    const std::string failedPass =
        "open /dev/wirelens-full -> EIO\n"
        "open /dev/wirelens -> EIO\n";
    EXPECT_EQ(outcome.stdoutBytes, "-- pass 1\n" + failedPass + "-- pass 2\n" + failedPass);
  }
}

TEST(DeviceEmulator, WithoutAScenarioTheDeviceFailsWithEio) {
  RunOptions options;
  options.binary = WIRELENS_EMULATOR_PROBE;
  options.environment = {std::string("LD_PRELOAD=") + WIRELENS_EMULATOR,
                         "WIRELENS_EMULATOR_SCENARIO="};
  RunOutcome outcome = runBinary(options);
  EXPECT_EQ(outcome.stderrBytes, "wirelens-emulator: WIRELENS_EMULATOR_SCENARIO is not set\n");
  EXPECT_EQ(outcome.stdoutBytes,
            "-- pass 1\nopen /dev/wirelens-full -> EIO\nopen /dev/wirelens -> EIO\n");
}

TEST(CaptureTool, WritesTheDescribedRecordsThatTheEmulatorServes) {
  EmulatorSession session("records sockets.cap\n");
  std::string description = session.writeFile("sockets.txt",
                                              "# two sockets\n"
                                              "socket state=LISTEN local=[::]:22 socketId=0x10\n"
                                              "\n"
                                              "socket state=4 local=10.0.0.1:443 socketId=own\n");
  RunOutcome tool = runCaptureTool({"-o", session.directory() + "/sockets.cap", description});
  ASSERT_EQ(tool.exitStatus, 0) << tool.stderrBytes;
  EXPECT_EQ(readFile(session.directory() + "/sockets.cap").size(), 640u);

  RunOutcome probe = runProbe(session, {});
  EXPECT_NE(probe.stdoutBytes.find("header version=1 count=2\nread 65536 -> 640\n"
                                   "record version=1 state=1 localPort=22 socketId=16\n"
                                   "record version=1 state=4 localPort=443 socketId="),
            std::string::npos)
      << probe.stdoutBytes;
}

TEST(CaptureTool, ReportsTheFirstBadLineAndWritesNothing) {
  EmulatorSession session("");
  std::string description = session.writeFile("bad.txt", "socket localPort=1\nsocket x=1\n");
  std::string output = session.directory() + "/bad.cap";
  RunOutcome tool = runCaptureTool({"-o", output, description});
  EXPECT_EQ(tool.exitStatus, 1);
  EXPECT_EQ(tool.stderrBytes, "wirelens-capture: " + description + ": line 2: unknown field 'x'\n");
  EXPECT_FALSE(std::ifstream(output).good());
}

TEST(CaptureTool, SyntheticSetsDependOnlyOnCountAndSeed) {
  RunOutcome first = runCaptureTool({"--synthetic", "50", "--seed", "3"});
  RunOutcome again = runCaptureTool({"--synthetic", "50", "--seed", "3"});
  RunOutcome other = runCaptureTool({"--synthetic", "50", "--seed", "4"});
  EXPECT_EQ(first.exitStatus, 0);
  EXPECT_EQ(first.stdoutBytes.size(), 50u * 320);
  EXPECT_EQ(first.stdoutBytes, again.stdoutBytes);
  EXPECT_NE(first.stdoutBytes, other.stdoutBytes);
}

TEST(CaptureTool, TheSampleDescriptionParses) {
  std::string sample = std::string(WIRELENS_SOURCE_DIR) + "/tests/data/sample_sockets.txt";
  RunOutcome tool = runCaptureTool({sample});
  EXPECT_EQ(tool.exitStatus, 0) << tool.stderrBytes;
  std::string text = readFile(sample);
  std::size_t sockets = 0;
  for (std::size_t at = text.find("\nsocket "); at != std::string::npos;
       at = text.find("\nsocket ", at + 1))
    ++sockets;
  EXPECT_GE(sockets, 10u);
  EXPECT_EQ(tool.stdoutBytes.size(), sockets * 320);
}

}  // namespace
}  // namespace wirelens::testing
