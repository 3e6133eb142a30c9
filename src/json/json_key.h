// JsonKey: an object key made at compile time, held as its JSON text with the quotes and the
// colon ("name":) in a fixed block, so that the compact writer copies the whole block at
// once and advances by size(). Keys are plain names that need no escapes; anything else does
// not compile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wirelens {

namespace key_detail {
// Not constexpr: reaching it while a key is being built stops the compilation.
inline void keyMustBeAShortPlainName() {}
}  // namespace key_detail

class JsonKey {
 public:
  // Bytes copied per key: the longest name plus its quotes and colon must fit.
  static constexpr std::size_t kBlock = 32;

  template <std::size_t N>
  consteval JsonKey(const char (&name)[N]) {
    const std::size_t length = N - 1;
    if (length == 0 || length + 3 > kBlock) key_detail::keyMustBeAShortPlainName();
    text_[0] = '"';
    for (std::size_t i = 0; i < length; ++i) {
      const char c = name[i];
      if (c < 0x20 || c == '"' || c == '\\' || c == 0x7f) key_detail::keyMustBeAShortPlainName();
      text_[i + 1] = c;
    }
    text_[length + 1] = '"';
    text_[length + 2] = ':';
    size_ = static_cast<std::uint8_t>(length + 3);
  }

  // The block of kBlock bytes; the first size() of them are the key's text.
  constexpr const char* block() const { return text_; }
  // Length of "name": with its quotes and colon.
  constexpr std::size_t size() const { return size_; }
  constexpr std::string_view name() const {
    return {text_ + 1, static_cast<std::size_t>(size_ - 3)};
  }

 private:
  char text_[kBlock]{};
  std::uint8_t size_ = 0;
};

}  // namespace wirelens
