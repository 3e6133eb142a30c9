// The collection loop: runs the passes, each one a snapshot of every TCP socket written as one
// document, with a pause of the interval between them. Returns when the count is reached, or
// with the first fatal error wrapped in its context.
#pragma once

#include <cstdint>

#include "command_line.h"
#include "errors/top_level_error.h"
#include "platform/env.h"
#include "result.h"

namespace wirelens {

// Low 32 bits of seconds * 1000 + nanoseconds / 1,000,000.
std::uint32_t intervalMilliseconds(const Interval& interval);

[[nodiscard]] Result<Done, TopLevelError> runCollection(Env& env, const Options& options);

}  // namespace wirelens
