// Standard base64 (alphabet A-Z a-z 0-9 + /), padded with '=' to a multiple of four
// characters, without line breaks. The writer reserves base64Size() bytes and puts the text
// there; long inputs go in whole groups of three bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wirelens {

constexpr std::size_t base64Size(std::size_t byteCount) {
  return (byteCount + 2) / 3 * 4;
}

// Writes the base64 text of `size` bytes at `out` and returns its end.
char* putBase64(char* out, const std::uint8_t* data, std::size_t size);

}  // namespace wirelens
