#include "pass_timing.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "fake_env.h"

namespace wirelens {
namespace {

using testing::FakeEnv;
using testing::formatTimespec;

std::vector<std::string> sleeps(const FakeEnv& env) {
  std::vector<std::string> out;
  for (const Timespec& t : env.sleeps) out.push_back(formatTimespec(t));
  return out;
}

TEST(SleepInterval, SleepsTheWholeIntervalOnce) {
  FakeEnv env;
  sleepInterval(env, Interval{1, 500000000});
  EXPECT_EQ(sleeps(env), std::vector<std::string>{"1.500000000"});
}

TEST(SleepInterval, ResumesWithTheRemainingTimeAfterAnInterruption) {
  FakeEnv env;
  env.sleepAnswers = {{EINTR, Timespec{0, 700000000}}, {EINTR, Timespec{0, 1000}}, {0, {}}};
  sleepInterval(env, Interval{2, 0});
  EXPECT_EQ(sleeps(env), (std::vector<std::string>{"2.000000000", "0.700000000", "0.000001000"}));
}

TEST(SleepInterval, ZeroIntervalDoesNotSleep) {
  FakeEnv env;
  sleepInterval(env, Interval{0, 0});
  EXPECT_TRUE(env.sleeps.empty());
}

TEST(SleepInterval, SubMillisecondIntervalStillSleeps) {
  FakeEnv env;
  sleepInterval(env, Interval{0, 500000});
  EXPECT_EQ(sleeps(env), std::vector<std::string>{"0.000500000"});
}

TEST(SleepInterval, SecondsBeyondOneRequestAreSleptInPieces) {
  static_assert(kMaxSleepSeconds == 9223372036854775807, "a 64-bit time_t");
  FakeEnv env;
  sleepInterval(env, Interval{18446744073709551615u, 250});
  EXPECT_EQ(sleeps(env),
            (std::vector<std::string>{"9223372036854775807.000000250",
                                      "9223372036854775807.000000000", "1.000000000"}));
}

TEST(SleepInterval, AFailureOtherThanAnInterruptionIsNotRetried) {
  FakeEnv env;
  env.sleepAnswers = {{EINVAL, {}}};
  sleepInterval(env, Interval{1, 0});
  EXPECT_EQ(env.sleeps.size(), 1u);
}

TEST(PassClock, WallClockBeforeTheEpochReadsZero) {
  EXPECT_EQ(epochNanoseconds(Timespec{-1, 999999999}), 0u);
  EXPECT_EQ(epochNanoseconds(Timespec{0, 0}), 0u);
  EXPECT_EQ(epochNanoseconds(Timespec{1765363200, 123456789}), 1765363200123456789u);
}

TEST(PassClock, DurationThatRunsBackwardsReadsZero) {
  EXPECT_EQ(elapsedNanoseconds(Timespec{10, 0}, Timespec{9, 999999999}), 0u);
  EXPECT_EQ(elapsedNanoseconds(Timespec{10, 5}, Timespec{10, 4}), 0u);
  EXPECT_EQ(elapsedNanoseconds(Timespec{10, 999999999}, Timespec{12, 1}), 1000000002u);
  EXPECT_EQ(elapsedNanoseconds(Timespec{3, 3}, Timespec{3, 3}), 0u);
}

}  // namespace
}  // namespace wirelens
