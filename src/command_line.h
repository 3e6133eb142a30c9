// The command line: the eight recognised forms, compared whole, left to right. parseCommandLine
// is pure: it yields the Options, a request for the usage text, or the error message that the
// program reports after "Error: ".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace wirelens {

struct Interval {
  std::uint64_t seconds = 1;
  std::uint32_t nanoseconds = 0;  // below 1,000,000,000
  friend bool operator==(const Interval&, const Interval&) = default;
};

struct Options {
  Interval interval;
  std::uint64_t count = 0;  // 0: no limit
  bool pretty = false;
  friend bool operator==(const Options&, const Options&) = default;
};

struct HelpRequest {};

struct CommandLineError {
  std::string message;
};

using CommandLine = std::variant<Options, HelpRequest, CommandLineError>;

// `arguments` excludes the program name.
CommandLine parseCommandLine(std::span<const std::string_view> arguments);

// The usage text for -h/--help, 366 bytes, written to standard error as it stands.
extern const std::string_view kUsageText;

}  // namespace wirelens
