// The real collector at 100,000 sockets under address-space limits (RLIMIT_AS): whatever the
// limit, the run either writes every document completely and exits with 0, or writes only
// complete documents, reports the refused memory and exits with 1. It is never ended by a
// signal. The limits probed are found around the smallest one a run succeeds with, where
// each large block of a pass in turn is the one refused; WIRELENS_MEMORY_SWEEP=full tries
// every mebibyte up to it instead (the soak command does).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "emulator_session.h"
#include "run_binary.h"
#include "sanitizer_build.h"
#include "text_lines.h"

namespace wirelens::testing {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr int kPasses = 2;
constexpr const char* kSockets = "synthetic 100000 seed 7\n";
constexpr const char* kTotal = "\"totalSockets\":100000,";

std::string enomem() {
  return std::string(std::strerror(ENOMEM)) + " (os error 12)";
}

// Every report a pass that cannot get its memory may end with, by the step refused.
const std::map<std::string, std::string>& outOfMemoryReports() {
  static const std::map<std::string, std::string> reports = {
      {"device read",
       "Error: failed to collect TCP sockets\n\nCaused by:\n    0: device read "
       "failed: " +
           enomem() + "\n    1: " + enomem() + "\n"},
      {"document", "Error: failed to build the document\n\nCaused by:\n    " + enomem() + "\n"},
      {"output", "Error: failed to write output\n\nCaused by:\n    0: serialization error: " +
                     enomem() + "\n    1: " + enomem() + "\n"},
  };
  return reports;
}

// `passes` 1 discards the output: those runs only look for the threshold.
RunOutcome runUnder(const EmulatorSession& session, std::uint64_t limit, int passes) {
  RunOptions options;
  options.stdoutMode = passes == 1 ? StdoutMode::DevNull : StdoutMode::Capture;
  options.arguments = {"-c", std::to_string(passes), "-i", "1e-10"};
  options.environment = session.environment();
  options.addressSpaceLimit = limit;
  options.timeoutSeconds = 60;
  return runBinary(options);
}

// The emulator itself could not load its records: the limit is below what the test needs,
// and says nothing about the collector.
bool belowTheEmulator(const RunOutcome& outcome) {
  return outcome.stderrBytes.rfind("wirelens-emulator: ", 0) == 0;
}

// Checks the outcome and names it: "documents" or the step whose memory was refused.
std::string judge(const RunOutcome& outcome, std::uint64_t limit, int passes) {
  SCOPED_TRACE("limit " + std::to_string(limit / kMiB) + " MiB");
  EXPECT_EQ(outcome.termSignal, 0) << outcome.stderrBytes;
  const std::vector<std::string> documents = splitLines(outcome.stdoutBytes);
  EXPECT_TRUE(outcome.stdoutBytes.empty() || outcome.stdoutBytes.back() == '\n');
  for (const std::string& document : documents) {
    EXPECT_EQ(document.rfind("{\"metadata\":{", 0), 0u) << "document does not start whole";
    EXPECT_TRUE(document.size() > 2 && document.compare(document.size() - 2, 2, "}}") == 0)
        << "document does not end whole";
    EXPECT_NE(document.find(kTotal), std::string::npos);
  }
  if (outcome.exitStatus == 0) {
    if (passes != 1) {
      EXPECT_EQ(documents.size(), static_cast<std::size_t>(passes));
    }
    EXPECT_EQ(outcome.stderrBytes, "");
    return "documents";
  }
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_LT(documents.size(), static_cast<std::size_t>(passes));
  for (const auto& [step, report] : outOfMemoryReports())
    if (outcome.stderrBytes == report) return step;
  ADD_FAILURE() << "unexpected report: " << outcome.stderrBytes;
  return "unexpected";
}

TEST(MemoryLimitEndToEnd, EveryLimitGivesCompleteDocumentsOrTheReportNeverASignal) {
  if (kAddressSanitizer) {
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit leaves";
  }
  EmulatorSession session(kSockets);
  std::map<std::uint64_t, std::string> seen;  // limit in MiB -> outcome

  // The smallest limit, to a mebibyte, that one pass succeeds with; every run on the way is
  // judged too, by its status and its report.
  std::uint64_t refused = 32, granted = 1024;
  const RunOutcome roomy = runUnder(session, granted * kMiB, 1);
  ASSERT_EQ(judge(roomy, granted * kMiB, 1), "documents") << "1 GiB must be enough";
  while (granted - refused > 1) {
    const std::uint64_t middle = (refused + granted) / 2;
    const RunOutcome outcome = runUnder(session, middle * kMiB, 1);
    const bool ok = !belowTheEmulator(outcome) && judge(outcome, middle * kMiB, 1) == "documents";
    (ok ? granted : refused) = middle;
  }

  std::vector<std::uint64_t> limits;
  const char* sweep = std::getenv("WIRELENS_MEMORY_SWEEP");
  if (sweep != nullptr && std::string(sweep) == "full") {
    for (std::uint64_t mib = 32; mib <= granted + 4; ++mib) limits.push_back(mib);
  } else {
    // Just below the threshold the last large blocks of a pass are refused in turn; far
    // below it the first ones are.
    for (std::uint64_t below = 0; below <= 8; ++below) limits.push_back(granted - below);
    limits.push_back(granted * 3 / 4);
    limits.push_back(granted / 2);
  }
  for (std::uint64_t mib : limits) {
    const RunOutcome outcome = runUnder(session, mib * kMiB, kPasses);
    seen[mib] =
        belowTheEmulator(outcome) ? "below the emulator" : judge(outcome, mib * kMiB, kPasses);
  }

  std::cout << "threshold " << granted << " MiB;";
  for (const auto& [mib, what] : seen) std::cout << " " << mib << ":" << what;
  std::cout << "\n";
}

}  // namespace
}  // namespace wirelens::testing
