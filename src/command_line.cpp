#include "command_line.h"

#include <cstdint>
#include <limits>
#include <string>

#include "interval_value.h"
#include "result.h"

namespace wirelens {

const std::string_view kUsageText =
    "Usage: wirelens-reader [OPTIONS]\n"
    "\n"
    "Collect TCP socket statistics from the kernel and output JSON Lines to stdout.\n"
    "\n"
    "Options:\n"
    "  -i, --interval SECS   Collection interval in seconds (default: 1)\n"
    "  -c, --count N         Number of collection passes, 0 = infinite (default: 0)\n"
    "  -p, --pretty          Pretty-print JSON output\n"
    "  -h, --help            Show this help message\n";

namespace {

// True for well-formed UTF-8 only: no overlong forms, no surrogates, nothing above U+10FFFF,
// no stray or missing continuation bytes.
bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned char lead = byte(i);
    std::size_t length;
    unsigned char low = 0x80;  // bounds of the second byte, narrower after some leads
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    if (byte(i + 1) < low || byte(i + 1) > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

CommandLineError failure(std::string message) {
  return CommandLineError{std::move(message)};
}

// Optional '+', then one or more ASCII digits; a non-digit anywhere outranks the size.
Result<std::uint64_t, std::string_view> parseCount(std::string_view text) {
  if (text.empty()) return fail(std::string_view("cannot parse integer from empty string"));
  if (text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return fail(std::string_view("invalid digit found in string"));
  for (char c : text) {
    if (c < '0' || c > '9') return fail(std::string_view("invalid digit found in string"));
  }
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (char c : text) {
    auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) {
      return fail(std::string_view("number too large to fit in target type"));
    }
    value = value * 10 + digit;
  }
  return value;
}

Result<Interval, CommandLineError> parseInterval(std::string_view text) {
  Result<double, SecondsSyntaxError> seconds = parseSeconds(text);
  if (!seconds.ok()) {
    return fail(failure(seconds.error() == SecondsSyntaxError::Empty
                            ? "invalid --interval value: cannot parse float from empty string"
                            : "invalid --interval value: invalid float literal"));
  }
  // A plain ordered comparison: NaN is not caught here but below.
  if (seconds.value() <= 0.0) return fail(failure("--interval must be positive"));
  std::optional<Interval> interval = intervalFromSeconds(seconds.value());
  if (!interval) {
    return fail(
        failure("invalid --interval value: must be a finite number of seconds below "
                "18446744073709551616"));
  }
  return *interval;
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> arguments) {
  // Every argument is text before any is parsed, so even one after -h is refused.
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (!isValidUtf8(arguments[i])) {
      return failure("argument " + std::to_string(i + 1) + " is not valid UTF-8");
    }
  }

  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view argument = arguments[i];
    bool hasValue = i + 1 < arguments.size();
    if (argument == "-h" || argument == "--help") return HelpRequest{};
    if (argument == "-p" || argument == "--pretty") {
      options.pretty = true;
    } else if (argument == "-i" || argument == "--interval") {
      if (!hasValue) return failure("--interval requires a value");
      Result<Interval, CommandLineError> interval = parseInterval(arguments[++i]);
      if (!interval.ok()) return std::move(interval).error();
      options.interval = interval.value();
    } else if (argument == "-c" || argument == "--count") {
      if (!hasValue) return failure("--count requires a value");
      Result<std::uint64_t, std::string_view> count = parseCount(arguments[++i]);
      if (!count.ok()) {
        return failure("invalid --count value: " + std::string(count.error()));
      }
      options.count = count.value();
    } else {
      return failure("unknown argument: " + std::string(argument));
    }
  }
  return options;
}

}  // namespace wirelens
