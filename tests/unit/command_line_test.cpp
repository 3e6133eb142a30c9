#include "command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "collection_loop.h"

namespace wirelens {
namespace {

using Arguments = std::vector<std::string_view>;

CommandLine parse(const Arguments& arguments) {
  return parseCommandLine(arguments);
}

// The arguments as a readable line for failure messages, bytes above 0x7e escaped.
std::string show(const Arguments& arguments) {
  std::string out;
  for (std::string_view a : arguments) {
    out += '[';
    for (char c : a) {
      auto b = static_cast<unsigned char>(c);
      if (b >= 0x20 && b < 0x7f) {
        out += c;
      } else {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xf];
      }
    }
    out += "] ";
  }
  return out;
}

Options options(Interval interval, std::uint64_t count, bool pretty) {
  return Options{interval, count, pretty};
}

TEST(CommandLine, AcceptedLinesGiveTheirOptions) {
  struct Case {
    Arguments arguments;
    Options expected;
  };
  const std::vector<Case> cases = {
      {{}, options({1, 0}, 0, false)},
      {{"-p"}, options({1, 0}, 0, true)},
      {{"--pretty", "-p"}, options({1, 0}, 0, true)},
      {{"-c", "0"}, options({1, 0}, 0, false)},
      {{"-c", "+5"}, options({1, 0}, 5, false)},
      {{"--count", "007"}, options({1, 0}, 7, false)},
      {{"-c", "18446744073709551615"}, options({1, 0}, 18446744073709551615u, false)},
      {{"-c", "0000000000000000000000000000042"}, options({1, 0}, 42, false)},
      {{"-c", "3", "-c", "4"}, options({1, 0}, 4, false)},
      {{"-i", "2", "-i", "3"}, options({3, 0}, 0, false)},
      {{"--interval", "+2"}, options({2, 0}, 0, false)},
      {{"-p", "-c", "3", "--interval", "0.25"}, options({0, 250000000}, 3, true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(show(c.arguments));
    CommandLine result = parse(c.arguments);
    ASSERT_TRUE(std::holds_alternative<Options>(result));
    EXPECT_EQ(std::get<Options>(result), c.expected);
  }
}

// The exact value of the double, rounded to the nearest nanosecond with ties to even.
// Ties are exact only for odd multiples of 2^-10 s: x * 10^9 = k + 1/2 needs x = t / 1024
// with t odd, since 2 * 10^9 = 2^10 * 5^9.
TEST(CommandLine, IntervalBecomesSecondsAndNanoseconds) {
  struct Case {
    std::string_view text;
    Interval expected;
  };
  const std::vector<Case> cases = {
      {"0.5", {0, 500000000}},
      {"1.5", {1, 500000000}},
      {"0.1", {0, 100000000}},  // the double is a little above 0.1
      {"1e3", {1000, 0}},
      {"0.0005", {0, 500000}},
      {"1e-10", {0, 0}},  // below half a nanosecond
      {"4.9e-324", {0, 0}},
      {"4.656612873077392578125e-10", {0, 0}},  // 2^-31 s, 0.47 ns
      {"9.31322574615478515625e-10", {0, 1}},   // 2^-30 s, 0.93 ns
      {"0.9999999996", {1, 0}},                 // rounds up to a whole second
      {"1.9999999996", {2, 0}},
      // The double is 1.99999999949999996 s; multiplying in floating point would give a tie.
      {"1.9999999995", {1, 999999999}},
      {"0.0009765625", {0, 976562}},   // 1/1024 s = 976562.5 ns: down to even
      {"0.0029296875", {0, 2929688}},  // 3/1024 s = 2929687.5 ns: up to even
      {"7.0009765625", {7, 976562}},
      {"18446744073709549568", {18446744073709549568u, 0}},  // largest double below 2^64
      {"18446744073709550591", {18446744073709549568u, 0}},  // rounds to that double
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CommandLine result = parse({"-i", c.text});
    ASSERT_TRUE(std::holds_alternative<Options>(result));
    EXPECT_EQ(std::get<Options>(result).interval, c.expected);
  }
}

TEST(CommandLine, FailuresGiveTheirExactMessage) {
  const std::string notFinite =
      "invalid --interval value: must be a finite number of seconds below "
      "18446744073709551616";
  struct Case {
    Arguments arguments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"-x"}, "unknown argument: -x"},
      {{"--interval=2"}, "unknown argument: --interval=2"},
      {{"--count=3"}, "unknown argument: --count=3"},
      {{"-pc", "3"}, "unknown argument: -pc"},
      {{"-c3"}, "unknown argument: -c3"},
      {{"-P"}, "unknown argument: -P"},
      {{"--Pretty"}, "unknown argument: --Pretty"},
      {{"--pre"}, "unknown argument: --pre"},
      {{"-"}, "unknown argument: -"},
      {{"--"}, "unknown argument: --"},
      {{""}, "unknown argument: "},
      {{" -p"}, "unknown argument:  -p"},
      {{"-p", "extra"}, "unknown argument: extra"},
      {{"-x€"}, "unknown argument: -x€"},
      {{"-i"}, "--interval requires a value"},
      {{"-p", "--interval"}, "--interval requires a value"},
      {{"-c"}, "--count requires a value"},
      {{"-i", "2", "--count"}, "--count requires a value"},
      // A value option takes the next argument whatever it is.
      {{"-c", "-p"}, "invalid --count value: invalid digit found in string"},
      {{"-c", "-h"}, "invalid --count value: invalid digit found in string"},
      {{"-i", "-p"}, "invalid --interval value: invalid float literal"},
      {{"-i", "--help"}, "invalid --interval value: invalid float literal"},
      {{"-c", "-1"}, "invalid --count value: invalid digit found in string"},
      {{"-c", "+"}, "invalid --count value: invalid digit found in string"},
      {{"-c", "-"}, "invalid --count value: invalid digit found in string"},
      {{"-c", "++5"}, "invalid --count value: invalid digit found in string"},
      {{"-c", " 5"}, "invalid --count value: invalid digit found in string"},
      {{"-c", "5 "}, "invalid --count value: invalid digit found in string"},
      {{"-c", "1e3"}, "invalid --count value: invalid digit found in string"},
      {{"-c", "99999999999999999999x"}, "invalid --count value: invalid digit found in string"},
      {{"-c", ""}, "invalid --count value: cannot parse integer from empty string"},
      {{"-c", "18446744073709551616"},
       "invalid --count value: number too large to fit in target type"},
      {{"-c", "99999999999999999999999"},
       "invalid --count value: number too large to fit in target type"},
      {{"-i", "0"}, "--interval must be positive"},
      {{"-i", "-0"}, "--interval must be positive"},
      {{"-i", "-2"}, "--interval must be positive"},
      {{"-i", "1e-400"}, "--interval must be positive"},
      {{"-i", "0e5"}, "--interval must be positive"},
      {{"-i", "-inf"}, "--interval must be positive"},
      {{"-i", "abc"}, "invalid --interval value: invalid float literal"},
      {{"-i", "+"}, "invalid --interval value: invalid float literal"},
      {{"-i", "1,5"}, "invalid --interval value: invalid float literal"},
      {{"-i", " 1"}, "invalid --interval value: invalid float literal"},
      {{"-i", "0x10"}, "invalid --interval value: invalid float literal"},
      {{"-i", "nan(1)"}, "invalid --interval value: invalid float literal"},
      {{"-i", ""}, "invalid --interval value: cannot parse float from empty string"},
      {{"-i", "nan"}, notFinite},
      {{"-i", "-NaN"}, notFinite},
      {{"-i", "inf"}, notFinite},
      {{"--interval", "+Infinity"}, notFinite},
      {{"-i", "1e400"}, notFinite},
      {{"-i", "18446744073709551616"}, notFinite},
      {{"-i", "18446744073709550592"}, notFinite},  // the tie between 2^64 - 2048 and 2^64
      {{"-i", "1e20"}, notFinite},
      // The first failure ends parsing; -h after it is not reached.
      {{"-x", "-h"}, "unknown argument: -x"},
      {{"-c", "x", "-i", "y"}, "invalid --count value: invalid digit found in string"},
      {{"-i", "0", "-x"}, "--interval must be positive"},
      {{"-i", "nan", "--help"}, notFinite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(show(c.arguments));
    CommandLine result = parse(c.arguments);
    ASSERT_TRUE(std::holds_alternative<CommandLineError>(result));
    EXPECT_EQ(std::get<CommandLineError>(result).message, c.message);
  }
}

TEST(CommandLine, HelpEndsParsingWhenMet) {
  const std::vector<Arguments> cases = {
      {"-h"},
      {"--help"},
      {"-p", "-h"},
      {"-h", "-x"},
      {"-h", "--interval"},
      {"--help", "-c", "-1"},
      {"-i", "2", "-c", "5", "--help", "-i", "0"},
  };
  for (const Arguments& arguments : cases) {
    SCOPED_TRACE(show(arguments));
    EXPECT_TRUE(std::holds_alternative<HelpRequest>(parse(arguments)));
  }
}

// Every argument must be UTF-8 text, checked before any is parsed: the first one that is
// not is named by its position after the program name.
TEST(CommandLine, ArgumentsMustBeUtf8) {
  const std::vector<std::string_view> valid = {
      "\x7f",              // highest one-byte form
      "\xc3\xa9",          // U+00E9
      "\xe0\xa0\x80",      // U+0800, the lowest three-byte form
      "\xed\x9f\xbf",      // U+D7FF, just below the surrogates
      "\xee\x80\x80",      // U+E000, just above them
      "\xe2\x82\xac",      // U+20AC
      "\xf0\x90\x80\x80",  // U+10000, the lowest four-byte form
      "\xf4\x8f\xbf\xbf",  // U+10FFFF, the highest code point
  };
  for (std::string_view text : valid) {
    SCOPED_TRACE(show({text}));
    CommandLine result = parse({text});
    ASSERT_TRUE(std::holds_alternative<CommandLineError>(result));
    EXPECT_EQ(std::get<CommandLineError>(result).message, "unknown argument: " + std::string(text));
  }

  const std::vector<std::string_view> invalid = {
      "\x80",  // continuation byte without a lead
      "\xbf",
      "\xc0\x80",  // overlong two-byte forms
      "\xc1\xbf",
      "\xc3",          // truncated
      "\xe2\x82",      // truncated
      "\xf0\x9f\x98",  // truncated
      "a\xc3(",        // lead followed by a non-continuation byte
      "\xe2\x28\xa1",
      "\xe0\x9f\xbf",      // overlong three-byte form
      "\xed\xa0\x80",      // surrogate U+D800
      "\xed\xbf\xbf",      // surrogate U+DFFF
      "\xf0\x8f\xbf\xbf",  // overlong four-byte form
      "\xf4\x90\x80\x80",  // above U+10FFFF
      "\xf5\x80\x80\x80",
      "\xf8\x88\x80\x80\x80",
      "\xfe",
      "\xff",
  };
  for (std::string_view text : invalid) {
    SCOPED_TRACE(show({text}));
    CommandLine result = parse({text});
    ASSERT_TRUE(std::holds_alternative<CommandLineError>(result));
    EXPECT_EQ(std::get<CommandLineError>(result).message, "argument 1 is not valid UTF-8");
  }

  struct Case {
    Arguments arguments;
    std::string message;
  };
  const std::vector<Case> positions = {
      {{"-h", "\xff"}, "argument 2 is not valid UTF-8"},
      {{"-x", "-p", "\xed\xa0\x80"}, "argument 3 is not valid UTF-8"},
      {{"-c", "\xc3", "\xff"}, "argument 2 is not valid UTF-8"},
      {{"-i", "1", "-c", "2", "-p", "ok\x80"}, "argument 6 is not valid UTF-8"},
  };
  for (const Case& c : positions) {
    SCOPED_TRACE(show(c.arguments));
    CommandLine result = parse(c.arguments);
    ASSERT_TRUE(std::holds_alternative<CommandLineError>(result));
    EXPECT_EQ(std::get<CommandLineError>(result).message, c.message);
  }
}

TEST(CommandLine, UsageTextIsNineLinesWithAlignedDescriptions) {
  EXPECT_EQ(kUsageText.size(), 366u);
  ASSERT_EQ(kUsageText.back(), '\n');
  std::vector<std::string_view> lines;
  for (std::string_view rest = kUsageText; !rest.empty();) {
    std::size_t end = rest.find('\n');
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "Usage: wirelens-reader [OPTIONS]");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "Options:");
  for (std::size_t i = 5; i < 9; ++i) {
    SCOPED_TRACE(lines[i]);
    EXPECT_EQ(lines[i].substr(0, 3), "  -");
    // Descriptions start in column 25 after a run of spaces.
    EXPECT_EQ(lines[i][23], ' ');
    EXPECT_NE(lines[i][24], ' ');
  }
}

TEST(IntervalMilliseconds, WholeMillisecondsInThirtyTwoBits) {
  EXPECT_EQ(intervalMilliseconds({1, 500000000}), 1500u);
  EXPECT_EQ(intervalMilliseconds({0, 500000}), 0u);
  EXPECT_EQ(intervalMilliseconds({0, 999999999}), 999u);
  EXPECT_EQ(intervalMilliseconds({5000000, 0}), 705032704u);  // 5,000,000,000 mod 2^32
}

}  // namespace
}  // namespace wirelens
