// The harness itself, driven with /bin/sh so that it is checked before any collector exists.
#include "run_binary.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <signal.h>

namespace wirelens::testing {
namespace {

RunOutcome runShell(const std::string& script, StdoutMode mode = StdoutMode::Capture,
                    std::vector<std::string> environment = {}) {
  RunOptions options;
  options.binary = "/bin/sh";
  options.arguments = {"-c", script};
  options.environment = std::move(environment);
  options.stdoutMode = mode;
  return runBinary(options);
}

TEST(RunBinary, CapturesBothStreamsExitStatusAndEnvironment) {
  RunOutcome outcome =
      runShell("printf 'a\\nb'; printf \"$WIRELENS_PROBE|$ASAN_OPTIONS\" >&2; exit 3",
               StdoutMode::Capture, {"WIRELENS_PROBE=x=y"});
  EXPECT_EQ(outcome.exitStatus, 3);
  EXPECT_EQ(outcome.termSignal, 0);
  EXPECT_EQ(outcome.stdoutBytes, "a\nb");
  EXPECT_EQ(outcome.stderrBytes, "x=y|verify_asan_link_order=0:detect_leaks=0:allocator_may_return_null=1");
}

TEST(RunBinary, CallerAsanOptionsWinAndStdinIsEmpty) {
  RunOutcome outcome = runShell("printf \"$ASAN_OPTIONS\"; wc -c", StdoutMode::Capture,
                                {"ASAN_OPTIONS=detect_leaks=1"});
  EXPECT_EQ(outcome.stdoutBytes,
            "detect_leaks=1"
            "0\n");
}

TEST(RunBinary, StdoutModesReachTheChild) {
  // Duplicating descriptor 1 fails only when it is closed; writing to /dev/full fails (ENOSPC).
  EXPECT_EQ(runShell("echo hidden; echo seen >&2", StdoutMode::DevNull).stderrBytes, "seen\n");
  EXPECT_NE(runShell("echo x || exit 9", StdoutMode::DevFull).exitStatus, 0);
  EXPECT_EQ(runShell("if (exec 3>&1) 2>/dev/null; then exit 0; else exit 4; fi", StdoutMode::Closed)
                .exitStatus,
            4);
}

TEST(RunBinary, ClosesThePipeAfterTheFirstLineAndKeepsDrainingStderr) {
  RunOutcome outcome = runShell(
      "trap '' PIPE; printf 'first\\nsecond'; sleep 0.2;"
      "while printf 'more\\n' 2>/dev/null; do :; done; echo gone >&2",
      StdoutMode::PipeClosedAfterFirstLine);
  EXPECT_EQ(outcome.stdoutBytes, "first\n");
  EXPECT_EQ(outcome.stderrBytes, "gone\n");
  EXPECT_EQ(outcome.exitStatus, 0);
}

TEST(RunBinary, ReportsASignal) {
  RunOutcome outcome = runShell("kill -TERM $$");
  EXPECT_EQ(outcome.exitStatus, -1);
  EXPECT_EQ(outcome.termSignal, SIGTERM);
}

// EXPECT_NONFATAL_FAILURE takes one statement without locals or unguarded commas.
void runPastTimeout() {
  RunOptions options;
  options.binary = "/bin/sh";
  options.arguments = {"-c", "exec sleep 30"};
  options.timeoutSeconds = 1;
  RunOutcome outcome = runBinary(options);
  EXPECT_TRUE(outcome.timedOut);
  EXPECT_EQ(outcome.termSignal, SIGKILL);
}

void runMissingProgram() {
  RunOptions options;
  options.binary = "/nonexistent/wirelens";
  runBinary(options);
}

TEST(RunBinary, KillsAChildThatOutlivesItsTimeoutAndFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(runPastTimeout(), "timed out after 1 s");
}

TEST(RunBinary, FailsTheTestWhenTheProgramCannotBeExecuted) {
  EXPECT_NONFATAL_FAILURE(runMissingProgram(), "cannot execute /nonexistent/wirelens");
}

}  // namespace
}  // namespace wirelens::testing
