// Fuzz target: base64 over any bytes. The text has the padded length, uses only the standard
// alphabet with '=' only as padding at the end, and decodes back to the input with a
// decoder written here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "json/base64.h"

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of each base64 character, -1 for anything else.
std::array<int, 256> characterValues() {
  std::array<int, 256> values;
  values.fill(-1);
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::array<int, 256> kValues = characterValues();
  const std::size_t textSize = (size + 2) / 3 * 4;
  FUZZ_CHECK(wirelens::base64Size(size) == textSize, "size %zu", size);

  // A guard byte past the end catches a write beyond the promised size.
  std::string text(textSize + 1, '#');
  char* end = wirelens::putBase64(text.data(), data, size);
  FUZZ_CHECK(end == text.data() + textSize, "wrote %td bytes for %zu", end - text.data(), size);
  FUZZ_CHECK(text[textSize] == '#', "wrote past the end");
  text.resize(textSize);

  const std::size_t padding = size % 3 == 0 ? 0 : 3 - size % 3;
  std::vector<std::uint8_t> decoded;
  std::uint32_t bits = 0;
  int bitCount = 0;
  for (std::size_t i = 0; i < textSize; ++i) {
    const bool padded = i >= textSize - padding;
    if (padded) {
      FUZZ_CHECK(text[i] == '=', "position %zu should be padding", i);
      continue;
    }
    const int value = kValues[static_cast<unsigned char>(text[i])];
    FUZZ_CHECK(value >= 0, "character 0x%02x at %zu", static_cast<unsigned char>(text[i]), i);
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      decoded.push_back(static_cast<std::uint8_t>(bits >> bitCount));
      bits &= (1u << bitCount) - 1;
    }
  }
  // The bits left over after the last byte are zero in canonical base64.
  FUZZ_CHECK(bits == 0, "non-zero bits after the last byte");
  FUZZ_CHECK(decoded.size() == size && std::equal(decoded.begin(), decoded.end(), data),
             "round trip of %zu bytes gave %zu", size, decoded.size());
  return 0;
}
