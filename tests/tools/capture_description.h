// The readable form of a capture: one socket per line, "socket" followed by name=value
// fields named as in the record layout (sndCwnd=14480, state=ESTABLISHED, cc=cubic,
// local=10.0.0.5:22, socketId=own, @300:u32=7 for a raw store). Parsing yields the records
// concatenated, or the first error with its line number; nothing is half-written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "record_image.h"

namespace wirelens::testing {

struct ParsedRecord {
  RecordImage record{};
  std::string error;  // empty on success
};

// The fields of one socket: the text after the word "socket".
ParsedRecord parseSocketFields(std::string_view fields);

struct ParsedCapture {
  std::string bytes;  // whole records, in line order
  std::string error;  // "line N: ..." for the first bad line; empty on success
};

// A whole description: "socket ..." lines, blank lines and '#' comments.
ParsedCapture parseCaptureDescription(std::string_view text);

// Blank- or tab-separated words.
std::vector<std::string_view> splitWords(std::string_view text);

// Text after '#' removed, surrounding blanks trimmed.
std::string_view stripComment(std::string_view line);

}  // namespace wirelens::testing
