// Symbolic errno names for the emulator's scenario files and call log, so both read
// "ENOENT" rather than a host-specific number. Unknown codes print as decimal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wirelens::testing {

// "ENOENT" or a decimal number; nothing for anything else.
std::optional<int> errnoFromName(std::string_view name);

std::string errnoName(int code);

}  // namespace wirelens::testing
