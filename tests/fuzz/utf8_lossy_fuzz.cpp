// Fuzz target: the lossy UTF-8 decoder over any bytes. Its output is well-formed UTF-8 and
// equals the reference decoder of maximal subparts; well-formed input comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "records/utf8_lossy.h"
#include "reference/utf8_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace wirelens;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string decoded = decodeUtf8Lossy(std::as_bytes(std::span(data, size)));

  FUZZ_CHECK(fuzz::isWellFormedUtf8(decoded), "output of %zu bytes is not UTF-8", decoded.size());
  const std::string expected = fuzz::referenceLossyUtf8(input);
  FUZZ_CHECK(decoded == expected, "decoded %zu bytes, the reference %zu", decoded.size(),
             expected.size());
  if (fuzz::isWellFormedUtf8(input)) {
    FUZZ_CHECK(decoded == input, "well-formed input of %zu bytes was changed", size);
  }
  return 0;
}
