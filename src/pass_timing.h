// Clock arithmetic of a pass and the pause between passes. Readings that run backwards give
// a duration of 0; a wall clock before the epoch gives a timestamp of 0.
#pragma once

#include <cstdint>

#include "command_line.h"
#include "platform/env.h"

namespace wirelens {

// Nanoseconds since the Unix epoch, or 0 before it.
std::uint64_t epochNanoseconds(const Timespec& wallClock);

// end - start in nanoseconds, or 0 when end is earlier than start.
std::uint64_t elapsedNanoseconds(const Timespec& start, const Timespec& end);

// Sleeps the whole interval on the monotonic clock, resuming with the remaining time after
// EINTR, in pieces when the seconds exceed what one request can carry. A zero interval does
// not sleep at all.
void sleepInterval(Env& env, const Interval& interval);

}  // namespace wirelens
