// JSON string bodies: `"` and `\` and the bytes below 0x20 are escaped, every other byte
// (0x7F and multi-byte UTF-8 included) is copied as it is. Runs that need no escape are
// copied in one piece. The quotes around the body are the caller's.
#pragma once

#include <cstddef>
#include <string_view>

#include "json/byte_sink.h"

namespace wirelens {

// One byte can grow to six ("\u001f").
inline constexpr std::size_t kEscapeGrowth = 6;

// Writes the escaped body of `text` at `out` (room: kEscapeGrowth * text.size()); returns
// its end.
char* putEscaped(char* out, std::string_view text);

// The same body appended piece by piece, for text too long for one reservation; false
// when the sink failed.
bool appendEscaped(ByteSink& sink, std::string_view text);

}  // namespace wirelens
