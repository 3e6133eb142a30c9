// runProgram: the whole run as main sees it. Parses the arguments, serves -h, runs the
// collection and turns its result into the exit status, writing the usage text or the one
// failure report to standard error. Nothing below it writes to standard error.
#pragma once

#include <span>
#include <string_view>

#include "platform/env.h"

namespace wirelens {

int runProgram(Env& env, std::span<const std::string_view> arguments);

}  // namespace wirelens
