#include "json/base64.h"

namespace wirelens {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

char* putBase64(char* out, const std::uint8_t* data, std::size_t size) {
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const std::uint32_t group =
        std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 | std::uint32_t{data[i + 2]};
    out[0] = kAlphabet[group >> 18];
    out[1] = kAlphabet[(group >> 12) & 0x3f];
    out[2] = kAlphabet[(group >> 6) & 0x3f];
    out[3] = kAlphabet[group & 0x3f];
    out += 4;
  }
  const std::size_t rest = size - i;
  if (rest == 0) return out;
  const std::uint32_t group =
      std::uint32_t{data[i]} << 16 | (rest == 2 ? std::uint32_t{data[i + 1]} << 8 : 0);
  out[0] = kAlphabet[group >> 18];
  out[1] = kAlphabet[(group >> 12) & 0x3f];
  out[2] = rest == 2 ? kAlphabet[(group >> 6) & 0x3f] : '=';
  out[3] = '=';
  return out + 4;
}

}  // namespace wirelens
