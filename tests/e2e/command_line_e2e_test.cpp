// The collector's command line as a user meets it: the usage text for -h and --help, and the
// one-line report for a bad command line, each with its exit status and nothing on stdout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_binary.h"

namespace wirelens::testing {
namespace {

// Written out here rather than taken from the program, so the bytes the binary prints are
// held against the documented text.
constexpr std::string_view kExpectedUsage =
    "Usage: wirelens-reader [OPTIONS]\n"
    "\n"
    "Collect TCP socket statistics from the kernel and output JSON Lines to stdout.\n"
    "\n"
    "Options:\n"
    "  -i, --interval SECS   Collection interval in seconds (default: 1)\n"
    "  -c, --count N         Number of collection passes, 0 = infinite (default: 0)\n"
    "  -p, --pretty          Pretty-print JSON output\n"
    "  -h, --help            Show this help message\n";

std::string joined(const std::vector<std::string>& arguments) {
  std::string out;
  for (const std::string& a : arguments) out += "[" + a + "] ";
  return out;
}

RunOutcome runWith(const std::vector<std::string>& arguments) {
  RunOptions options;
  options.arguments = arguments;
  return runBinary(options);
}

TEST(CommandLineE2e, HelpPrintsTheUsageTextAndExitsZero) {
  ASSERT_EQ(kExpectedUsage.size(), 366u);
  const std::vector<std::vector<std::string>> cases = {
      {"-h"},
      {"--help"},
      {"-p", "-h"},
      {"-i", "0.5", "-c", "3", "--help", "-x"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(joined(arguments));
    RunOutcome outcome = runWith(arguments);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.stdoutBytes, "");
    EXPECT_EQ(outcome.stderrBytes, kExpectedUsage);
  }
}

TEST(CommandLineE2e, BadCommandLineIsReportedOnStderrWithStatusOne) {
  struct Case {
    std::vector<std::string> arguments;
    std::string report;
  };
  const std::vector<Case> cases = {
      {{"-x"}, "Error: unknown argument: -x\n"},
      {{"--interval=2"}, "Error: unknown argument: --interval=2\n"},
      {{""}, "Error: unknown argument: \n"},
      {{"-x", "-h"}, "Error: unknown argument: -x\n"},
      {{"-i"}, "Error: --interval requires a value\n"},
      {{"-p", "--count"}, "Error: --count requires a value\n"},
      {{"-c", "-1"}, "Error: invalid --count value: invalid digit found in string\n"},
      {{"-c", ""}, "Error: invalid --count value: cannot parse integer from empty string\n"},
      {{"-c", "18446744073709551616"},
       "Error: invalid --count value: number too large to fit in target type\n"},
      {{"-i", "1,5"}, "Error: invalid --interval value: invalid float literal\n"},
      {{"-i", ""}, "Error: invalid --interval value: cannot parse float from empty string\n"},
      {{"-i", "1e-400"}, "Error: --interval must be positive\n"},
      {{"-i", "nan"},
       "Error: invalid --interval value: must be a finite number of seconds below "
       "18446744073709551616\n"},
      {{"-h", "\xff"}, "Error: argument 2 is not valid UTF-8\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.arguments));
    RunOutcome outcome = runWith(c.arguments);
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.stdoutBytes, "");
    EXPECT_EQ(outcome.stderrBytes, c.report);
  }
}

}  // namespace
}  // namespace wirelens::testing
