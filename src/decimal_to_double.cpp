#include "decimal_to_double.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace wirelens {
namespace {

// Every midpoint between two adjacent doubles has fewer significant decimal digits than this,
// so the digits beyond it only matter as "zero or not": keeping this many and replacing the
// rest by one nonzero digit leaves the rounding unchanged.
constexpr std::size_t kKeptDigits = 800;

// Beyond these decimal orders of magnitude the result is infinity or zero without arithmetic
// (the largest double is below 10^309, half the smallest subnormal above 10^-324).
constexpr std::int64_t kInfinityOrder = 310;
constexpr std::int64_t kZeroOrder = -330;

constexpr int kMantissaBits = 53;
constexpr int kMinExponent = -1074;  // of the last mantissa bit of a subnormal
constexpr int kMaxExponent = 1023;   // of the leading bit of the largest finite double

// Unsigned integer in base 2^32, least significant limb first, no high zero limbs. Only the
// operations the conversion needs.
class BigUnsigned {
 public:
  explicit BigUnsigned(std::uint32_t value) {
    if (value != 0) limbs_.push_back(value);
  }

  void multiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs_) {
      std::uint64_t t = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
  }

  void multiplyByPowerOfTen(std::int64_t power) {
    for (; power >= 9; power -= 9) multiplyAdd(1000000000u, 0);
    for (; power > 0; --power) multiplyAdd(10, 0);
  }

  void shiftLeft(std::size_t bits) {
    if (limbs_.empty()) return;
    unsigned rest = static_cast<unsigned>(bits % 32);
    if (rest != 0) {
      std::uint32_t carry = 0;
      for (std::uint32_t& limb : limbs_) {
        std::uint32_t next = limb >> (32 - rest);
        limb = (limb << rest) | carry;
        carry = next;
      }
      if (carry != 0) limbs_.push_back(carry);
    }
    limbs_.insert(limbs_.begin(), bits / 32, 0u);
  }

  // Requires *this >= other.
  void subtract(const BigUnsigned& other) {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::uint64_t subtrahend = (i < other.limbs_.size() ? other.limbs_[i] : 0u) + borrow;
      std::uint64_t difference = limbs_[i] - subtrahend;  // wraps; the low 32 bits are right
      borrow = limbs_[i] < subtrahend ? 1 : 0;
      limbs_[i] = static_cast<std::uint32_t>(difference);
    }
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }

  std::int64_t bitLength() const {
    if (limbs_.empty()) return 0;
    return static_cast<std::int64_t>(32 * (limbs_.size() - 1)) + std::bit_width(limbs_.back());
  }

  friend int compare(const BigUnsigned& a, const BigUnsigned& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (std::size_t i = a.limbs_.size(); i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  std::vector<std::uint32_t> limbs_;
};

// compare(a * 2^-shift, b) for a signed shift, without losing bits.
int compareScaled(BigUnsigned a, BigUnsigned b, std::int64_t shift) {
  if (shift < 0) {
    a.shiftLeft(static_cast<std::size_t>(-shift));
  } else {
    b.shiftLeft(static_cast<std::size_t>(shift));
  }
  return compare(a, b);
}

// The double nearest to numerator / denominator (both nonzero), ties to even.
double nearestDouble(const BigUnsigned& numerator, const BigUnsigned& denominator) {
  // Binary order e with 2^e <= value < 2^(e+1); the bit lengths place it within one.
  std::int64_t order = numerator.bitLength() - denominator.bitLength();
  if (compareScaled(numerator, denominator, order) < 0) --order;
  if (order > kMaxExponent) return std::numeric_limits<double>::infinity();

  // Weight of the last mantissa bit; subnormals keep the fixed smallest weight.
  std::int64_t lastBit = std::max<std::int64_t>(order - (kMantissaBits - 1), kMinExponent);
  BigUnsigned remainder = numerator;
  BigUnsigned divisor = denominator;
  if (lastBit < 0) {
    remainder.shiftLeft(static_cast<std::size_t>(-lastBit));
  } else {
    divisor.shiftLeft(static_cast<std::size_t>(lastBit));
  }

  // The quotient has at most 53 bits: restoring division, one bit per step.
  divisor.shiftLeft(kMantissaBits);
  std::uint64_t mantissa = 0;
  for (int bit = 0; bit < kMantissaBits; ++bit) {
    remainder.shiftLeft(1);
    mantissa <<= 1;
    if (compare(remainder, divisor) >= 0) {
      remainder.subtract(divisor);
      mantissa |= 1;
    }
  }
  remainder.shiftLeft(1);
  int half = compare(remainder, divisor);
  if (half > 0 || (half == 0 && (mantissa & 1) != 0)) ++mantissa;
  if (mantissa == (std::uint64_t{1} << kMantissaBits)) {
    mantissa >>= 1;
    ++lastBit;
  }
  if (lastBit + (kMantissaBits - 1) > kMaxExponent) {
    return std::numeric_limits<double>::infinity();
  }
  return std::ldexp(static_cast<double>(mantissa), static_cast<int>(lastBit));
}

}  // namespace

double decimalToDouble(std::string_view integerDigits, std::string_view fractionDigits,
                       std::int64_t exponent) {
  std::string digits;
  digits.reserve(integerDigits.size() + fractionDigits.size());
  digits.append(integerDigits).append(fractionDigits);
  std::int64_t power = exponent - static_cast<std::int64_t>(fractionDigits.size());

  // Significant digits only: value = digits * 10^power with no leading or trailing zero.
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0.0;
  std::size_t last = digits.find_last_not_of('0');
  power += static_cast<std::int64_t>(digits.size() - 1 - last);
  std::string_view significant = std::string_view(digits).substr(first, last - first + 1);

  std::int64_t order = static_cast<std::int64_t>(significant.size()) + power;
  if (order > kInfinityOrder) return std::numeric_limits<double>::infinity();
  if (order < kZeroOrder) return 0.0;

  // The last significant digit is nonzero, so whatever is cut here is nonzero too.
  bool cut = significant.size() > kKeptDigits;
  if (cut) {
    power += static_cast<std::int64_t>(significant.size() - kKeptDigits - 1);
    significant = significant.substr(0, kKeptDigits);
  }
  BigUnsigned numerator(0);
  for (char c : significant) numerator.multiplyAdd(10, static_cast<std::uint32_t>(c - '0'));
  if (cut) numerator.multiplyAdd(10, 1);

  BigUnsigned denominator(1);
  if (power >= 0) {
    numerator.multiplyByPowerOfTen(power);
  } else {
    denominator.multiplyByPowerOfTen(-power);
  }
  return nearestDouble(numerator, denominator);
}

}  // namespace wirelens
