// Splits program output into its lines: each line without its line feed, and a last piece
// without one (an unterminated line) as a line of its own.
#pragma once

#include <string>
#include <vector>

namespace wirelens::testing {

inline std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      out.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start != text.size()) out.push_back(text.substr(start));
  return out;
}

}  // namespace wirelens::testing
