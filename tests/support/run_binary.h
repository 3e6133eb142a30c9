// Runs a program (by default the collector at WIRELENS_BINARY) as a child process with a
// chosen standard output, captures its standard error (and standard output when asked) and
// returns how it ended. A child that outlives its timeout is killed and the running test
// fails with a message naming the command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wirelens::testing {

enum class StdoutMode { Capture, DevNull, DevFull, Closed, PipeClosedAfterFirstLine };

struct RunOptions {
  std::vector<std::string> arguments;  // after the program name
  std::vector<std::string>
      environment;  // extra NAME=value entries on top of the test's own environment
  StdoutMode stdoutMode = StdoutMode::Capture;
  int timeoutSeconds = 30;
  std::string binary;  // empty: the collector
  // Limits set in the child before it starts the program (setrlimit), in bytes and
  // descriptors; none by default.
  std::optional<std::uint64_t> addressSpaceLimit;
  std::optional<std::uint64_t> descriptorLimit;
};

struct RunOutcome {
  int exitStatus = -1;  // -1 when ended by a signal (see termSignal)
  int termSignal = 0;
  std::string stdoutBytes;  // Capture: all of it; PipeClosedAfterFirstLine: what was read up to
                            // and including the first line feed
  std::string stderrBytes;
  bool timedOut = false;
};

RunOutcome runBinary(const RunOptions& options);

// The test's own environment with `extra` laid over it (an entry replaces one of the same
// name), plus the sanitizer setting that lets an LD_PRELOAD library load into an
// instrumented binary, unless `extra` sets ASAN_OPTIONS itself.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra);

}  // namespace wirelens::testing
