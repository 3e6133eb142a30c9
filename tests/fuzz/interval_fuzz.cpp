// Fuzz target: the --interval grammar and the duration. The input as text is read by the
// parser and by the reference (a scan of the grammar and std::from_chars): both refuse it the
// same way or give the same double, bit for bit. That double, and the input's first eight
// bytes taken as a double, convert to the duration of the exact value rounded to the nearest
// nanosecond (ties to even), nanoseconds below one billion, or are refused alike.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "fuzz_check.h"
#include "interval_value.h"
#include "reference/interval_reference.h"

namespace {

using namespace wirelens;

void checkDuration(double value) {
  const std::optional<Interval> got = intervalFromSeconds(value);
  const std::optional<fuzz::ReferenceInterval> expected = fuzz::referenceInterval(value);
  const auto bits = static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value));
  FUZZ_CHECK(got.has_value() == expected.has_value(), "double %016llx: accepted %d, expected %d",
             bits, got.has_value(), expected.has_value());
  if (!got) return;
  FUZZ_CHECK(got->nanoseconds < 1'000'000'000u, "double %016llx: %u nanoseconds", bits,
             got->nanoseconds);
  FUZZ_CHECK(got->seconds == expected->seconds && got->nanoseconds == expected->nanoseconds,
             "double %016llx: %llu s %u ns, expected %llu s %u ns", bits,
             static_cast<unsigned long long>(got->seconds), got->nanoseconds,
             static_cast<unsigned long long>(expected->seconds), expected->nanoseconds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Result<double, SecondsSyntaxError> parsed = parseSeconds(text);
  const fuzz::ReferenceSeconds expected = fuzz::referenceSeconds(text);
  switch (expected.reading) {
    case fuzz::SecondsReading::Empty:
      FUZZ_CHECK(!parsed.ok() && parsed.error() == SecondsSyntaxError::Empty, "empty text");
      break;
    case fuzz::SecondsReading::Invalid:
      FUZZ_CHECK(!parsed.ok() && parsed.error() == SecondsSyntaxError::InvalidLiteral,
                 "accepted text outside the grammar");
      break;
    case fuzz::SecondsReading::Number: {
      FUZZ_CHECK(parsed.ok(), "refused a number");
      const double got = parsed.value();
      if (std::isnan(expected.value)) {
        FUZZ_CHECK(std::isnan(got) && std::signbit(got) == std::signbit(expected.value),
                   "NaN expected");
      } else {
        FUZZ_CHECK(
            std::bit_cast<std::uint64_t>(got) == std::bit_cast<std::uint64_t>(expected.value),
            "%a, expected %a", got, expected.value);
      }
      checkDuration(got);
      break;
    }
  }

  if (size >= sizeof(double)) {
    double raw;
    std::memcpy(&raw, data, sizeof raw);
    checkDuration(raw);
  }
  return 0;
}
