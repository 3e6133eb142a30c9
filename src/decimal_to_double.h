// decimalToDouble: the double nearest to a decimal number given as digit runs and a power of
// ten, ties to even, computed with exact integer arithmetic. It needs no locale and no C
// library parser, and it is correct for any length of digits and any exponent: values too
// large for a double give infinity, values too small give zero or the nearest subnormal.
#pragma once

#include <cstdint>
#include <string_view>

namespace wirelens {

// The value is `integerDigits`.`fractionDigits` times 10^`exponent`; both runs hold ASCII
// digits only and may be empty. Callers saturate huge exponents (beyond +-10^15 the result
// no longer depends on the exact figure).
double decimalToDouble(std::string_view integerDigits, std::string_view fractionDigits,
                       std::int64_t exponent);

}  // namespace wirelens
