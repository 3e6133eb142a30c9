#include "pass_timing.h"

#include <algorithm>
#include <cerrno>

namespace wirelens {
namespace {

constexpr std::uint64_t kNanosPerSecond = 1000000000u;

bool before(const Timespec& a, const Timespec& b) {
  return a.seconds < b.seconds || (a.seconds == b.seconds && a.nanoseconds < b.nanoseconds);
}

// One request, resumed after EINTR with what the clock says is left. Any other failure
// (an invalid request) ends the piece: retrying it would spin.
void sleepPiece(Env& env, Timespec request) {
  for (;;) {
    Timespec remaining;
    const int error = env.sleepMonotonic(request, remaining);
    if (error != EINTR) return;
    request = remaining;
  }
}

}  // namespace

std::uint64_t epochNanoseconds(const Timespec& wallClock) {
  if (wallClock.seconds < 0) return 0;
  return static_cast<std::uint64_t>(wallClock.seconds) * kNanosPerSecond +
         static_cast<std::uint64_t>(wallClock.nanoseconds);
}

std::uint64_t elapsedNanoseconds(const Timespec& start, const Timespec& end) {
  if (before(end, start)) return 0;
  // Unsigned arithmetic: a negative nanosecond difference borrows from the seconds.
  return (static_cast<std::uint64_t>(end.seconds) - static_cast<std::uint64_t>(start.seconds)) *
             kNanosPerSecond +
         (static_cast<std::uint64_t>(end.nanoseconds) -
          static_cast<std::uint64_t>(start.nanoseconds));
}

void sleepInterval(Env& env, const Interval& interval) {
  if (interval.seconds == 0 && interval.nanoseconds == 0) return;
  std::uint64_t seconds = interval.seconds;
  std::int64_t nanoseconds = interval.nanoseconds;
  do {
    const std::uint64_t piece =
        std::min<std::uint64_t>(seconds, static_cast<std::uint64_t>(kMaxSleepSeconds));
    sleepPiece(env, Timespec{static_cast<std::int64_t>(piece), nanoseconds});
    seconds -= piece;
    nanoseconds = 0;
  } while (seconds != 0);
}

}  // namespace wirelens
