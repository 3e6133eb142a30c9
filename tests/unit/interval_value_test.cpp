#include "interval_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace wirelens {
namespace {

TEST(ParseSeconds, GrammarAcceptsExactlyItsForms) {
  const std::vector<std::string> accepted = {
      "5",    "5.",   "5.25",     ".25",      "+5",   "-5",    "00",   "0.0",  "1e3",
      "1E3",  "1e+3", "1e-3",     "5.e3",     ".5e1", "1e007", "inf",  "INF",  "Inf",
      "+inf", "-inf", "infinity", "iNfInItY", "nan",  "NaN",   "-nan", "+NAN",
  };
  for (const std::string& text : accepted) EXPECT_TRUE(parseSeconds(text).ok()) << text;

  const std::vector<std::string> refused = {
      "+",      "-",     ".",     "+.",    "e3",      ".e3",    "1e",    "1e+",   "1e-",
      "1.5.2",  "1,5",   " 1",    "1 ",    "\t1",     "1\n",    "0x10",  "0x1p3", "0X1P-2",
      "nan(1)", "nan()", "infin", "in",    "infinit", "inf1",   "nane",  "1e3.5", "1e3e4",
      "++1",    "+-1",   "--1",   "1_000", "1'000",   "1d",     "1f",    "abc",   "\xd9\xa1",
      "1e 3",   "e",     "E5",    "1.e",   "-.",      "inf e3", "infe3", "nan1",
  };
  for (const std::string& text : refused) {
    Result<double, SecondsSyntaxError> r = parseSeconds(text);
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error(), SecondsSyntaxError::InvalidLiteral) << text;
  }

  Result<double, SecondsSyntaxError> empty = parseSeconds("");
  ASSERT_FALSE(empty.ok());
  EXPECT_EQ(empty.error(), SecondsSyntaxError::Empty);
}

TEST(ParseSeconds, WordsGiveInfinityAndNan) {
  EXPECT_EQ(parseSeconds("Infinity").value(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseSeconds("-inf").value(), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(parseSeconds("nan").value()));
  EXPECT_TRUE(std::isnan(parseSeconds("-NaN").value()));
}

TEST(IntervalFromSeconds, RefusesWhatTheDurationCannotHold) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double seconds : {std::nan(""), inf, -inf, 0x1p64, 1e300, -1.0, -0x1p-1074}) {
    EXPECT_FALSE(intervalFromSeconds(seconds).has_value()) << seconds;
  }
  // The largest double below 2^64 fits, with nothing to round.
  EXPECT_EQ(intervalFromSeconds(0x1p64 - 2048), (Interval{18446744073709549568u, 0}));
  EXPECT_EQ(intervalFromSeconds(0.0), (Interval{0, 0}));
  EXPECT_EQ(intervalFromSeconds(-0.0), (Interval{0, 0}));
}

}  // namespace
}  // namespace wirelens
