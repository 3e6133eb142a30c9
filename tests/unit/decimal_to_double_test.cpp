#include "decimal_to_double.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "interval_value.h"

namespace wirelens {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

// The nearest double to a decimal text, through the --interval grammar.
double parsed(const std::string& text) {
  Result<double, SecondsSyntaxError> r = parseSeconds(text);
  EXPECT_TRUE(r.ok()) << text;
  return r.ok() ? r.value() : std::nan("");
}

void expectSameBits(const std::string& text, double expected) {
  double got = parsed(text);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected))
      << text << " gave " << got << ", expected " << expected;
}

TEST(DecimalToDouble, DecimalFormsAndRangeEnds) {
  struct Case {
    std::string text;
    double expected;
  };
  const std::vector<Case> cases = {
      {"0", 0.0},
      {"-0", -0.0},
      {"000", 0.0},
      {"0.000e999999999999999999999", 0.0},
      {"5.", 5.0},
      {".25", 0.25},
      {"5.25", 5.25},
      {"+7", 7.0},
      {"-2", -2.0},
      {"1e3", 1000.0},
      {"1E+3", 1000.0},
      {"5.e3", 5000.0},
      {".5e1", 5.0},
      {"1e-3", 0.001},
      {"0.1", 0.1},
      {"000123.4500e0002", 12345.0},
      {"1.99999999999999999", 2.0},
      {"9007199254740993", 9007199254740992.0},  // 2^53 + 1: tie, to the even neighbour
      {"9007199254740995", 9007199254740996.0},  // 2^53 + 3: tie, up to the even neighbour
      {"1.7976931348623157e308", kMax},
      {"1.7976931348623158e308", kMax},  // below the midpoint to 2^1024
      {"1.7976931348623159e308", kInf},  // above it
      {"1e309", kInf},
      {"1e400", kInf},
      {"-1e400", -kInf},
      {"1e99999999999999999999999999", kInf},
      {"4.9406564584124654e-324", kTiny},
      {"2.4703282292062328e-324", kTiny},  // just above half the smallest subnormal
      {"2.4703282292062327e-324", 0.0},    // just below it
      {"2.2250738585072014e-308", std::numeric_limits<double>::min()},
      {"1e-400", 0.0},
      {"1e-99999999999999999999999999", 0.0},
      {"0.000000000000000000000000000000001e33", 1.0},
      {std::string(400, '0') + "1" + std::string(400, '0') + "e-400", 1.0},
      {"1" + std::string(1000, '0') + "e-1000", 1.0},
  };
  for (const Case& c : cases) expectSameBits(c.text, c.expected);
}

#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L

std::string shortest(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

// Mantissa digits and exponent of `value` written exactly in scientific notation.
std::string exactScientific(long double value) {
  std::string buffer(1200, '\0');
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::scientific, 900);
  EXPECT_EQ(ec, std::errc());
  return std::string(buffer.data(), end);
}

double randomPositiveFinite(std::mt19937_64& random) {
  for (;;) {
    double d = std::bit_cast<double>(random() & ~(std::uint64_t{1} << 63));
    if (std::isfinite(d)) return d;
  }
}

TEST(DecimalToDouble, ReadsBackEveryDoubleWrittenShortestOrInFull) {
  std::mt19937_64 random(20240611);
  for (int i = 0; i < 5000; ++i) {
    double d = randomPositiveFinite(random);
    expectSameBits(shortest(d), d);
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific, 16);
    double expected = 0;
    std::from_chars(buffer, end, expected);
    expectSameBits(std::string(buffer, end), expected);
  }
}

// The exact midpoint between a double and the next one up, then the midpoint nudged by one
// unit far past the 800th digit either way: the tie goes to the even mantissa, the nudges to
// the near side, which only holds if the digits beyond the kept ones are accounted for.
TEST(DecimalToDouble, MidpointsTieToEvenAndNudgesDecide) {
  if (std::numeric_limits<long double>::digits < 54) GTEST_SKIP() << "no exact midpoints";
  std::mt19937_64 random(77);
  std::vector<double> lows = {0.0, kTiny, std::numeric_limits<double>::min(), 1.0, 0.1, kMax};
  for (int i = 0; i < 1000; ++i) lows.push_back(randomPositiveFinite(random));
  for (double low : lows) {
    double high = std::nextafter(low, kInf);
    long double highExact = low == kMax ? std::ldexp(1.0L, 1024) : static_cast<long double>(high);
    long double midpoint = (static_cast<long double>(low) + highExact) / 2;
    std::string text = exactScientific(midpoint);
    std::size_t e = text.find('e');
    std::string digits = text.substr(0, e);
    std::string exponent = text.substr(e);
    bool lowIsEven = (std::bit_cast<std::uint64_t>(low) & 1) == 0;
    expectSameBits(text, lowIsEven ? low : high);

    std::string above = digits + std::string(100, '0') + "1" + exponent;
    expectSameBits(above, high);

    // One unit less at the last nonzero digit, with every digit after it a 9.
    std::string below = digits;
    std::size_t last = below.find_last_not_of("0.");
    --below[last];
    for (std::size_t k = last + 1; k < below.size(); ++k) {
      if (below[k] == '0') below[k] = '9';
    }
    below += std::string(100, '9') + exponent;
    expectSameBits(below, low);
  }
}

TEST(DecimalToDouble, AgreesWithFromCharsOnRandomDecimals) {
  std::mt19937_64 random(5);
  std::uniform_int_distribution<int> length(1, 30);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> exponent(-345, 330);
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    int n = length(random);
    int point = std::uniform_int_distribution<int>(0, n)(random);
    for (int k = 0; k < n; ++k) {
      if (k == point) text += '.';
      text += static_cast<char>('0' + digit(random));
    }
    text += "e" + std::to_string(exponent(random));
    double expected = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), expected);
    if (ec != std::errc()) continue;  // out of range: the fixed cases above cover these
    ASSERT_EQ(end, text.data() + text.size()) << text;
    expectSameBits(text, expected);
  }
}

#endif

}  // namespace
}  // namespace wirelens
