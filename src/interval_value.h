// The value of --interval: its text checked against the decimal grammar (optional sign; inf,
// infinity or nan in any letter case, or digits with an optional fraction and exponent) and
// rounded to the nearest double, and a double's exact value turned into the Interval
// duration. Pure functions; the messages around them belong to the command line.
#pragma once

#include <optional>
#include <string_view>

#include "command_line.h"
#include "result.h"

namespace wirelens {

enum class SecondsSyntaxError {
  Empty,           // the empty text
  InvalidLiteral,  // anything else outside the grammar, a lone sign included
};

// The double nearest to `text` (ties to even); NaN and the infinities for the words.
Result<double, SecondsSyntaxError> parseSeconds(std::string_view text);

// The exact value of `seconds` rounded to the nearest nanosecond, ties to even, carrying into
// the seconds. Below half a nanosecond gives the zero duration. Nothing for NaN, values below
// zero, the infinities, and 2^64 seconds or more.
std::optional<Interval> intervalFromSeconds(double seconds);

}  // namespace wirelens
