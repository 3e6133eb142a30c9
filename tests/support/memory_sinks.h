// In-memory ByteSinks for tests and benchmarks. StringSink keeps every byte in a growing string
// (tests compare whole documents with it); DiscardingSink reuses one fixed buffer and drops what it
// held whenever room runs out, so benchmarks measure the writer and not the memory behind it.
// Neither ever fails. Both hold pointers into their own storage, so they are neither copied nor
// moved.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "json/byte_sink.h"

namespace wirelens {

class StringSink final : public ByteSink {
 public:
  explicit StringSink(std::size_t initialCapacity = 1024) { grow(initialCapacity); }
  StringSink(const StringSink&) = delete;
  StringSink& operator=(const StringSink&) = delete;

  std::string_view view() const { return {buffer_.data(), used()}; }
  std::string text() const { return std::string(view()); }
  // Forgets the text and keeps the storage.
  void clear() { cursor_ = buffer_.data(); }

 protected:
  std::optional<IoError> takeSlow(const char* data, std::size_t size) override {
    grow(size);
    std::memcpy(cursor_, data, size);
    cursor_ += size;
    return std::nullopt;
  }
  std::optional<IoError> makeRoom(std::size_t size) override {
    grow(size);
    return std::nullopt;
  }

 private:
  std::size_t used() const { return static_cast<std::size_t>(cursor_ - buffer_.data()); }

  // Makes room for `extra` more bytes, at least doubling so that appends stay amortised.
  void grow(std::size_t extra) {
    const std::size_t kept = cursor_ == nullptr ? 0 : used();
    buffer_.resize(std::max(buffer_.size() * 2, kept + extra));
    cursor_ = buffer_.data() + kept;
    end_ = buffer_.data() + buffer_.size();
  }

  std::string buffer_;
};

class DiscardingSink final : public ByteSink {
 public:
  static constexpr std::size_t kBufferSize = 8192;

  DiscardingSink() { restart(); }
  DiscardingSink(const DiscardingSink&) = delete;
  DiscardingSink& operator=(const DiscardingSink&) = delete;

  // Every byte ever appended, dropped or still held.
  std::uint64_t byteCount() const { return dropped_ + held(); }

 protected:
  std::optional<IoError> takeSlow(const char* data, std::size_t size) override {
    restart();
    if (size <= kBufferSize) {
      std::memcpy(cursor_, data, size);
      cursor_ += size;
    } else {
      dropped_ += size;
    }
    return std::nullopt;
  }
  std::optional<IoError> makeRoom(std::size_t) override {
    restart();
    return std::nullopt;
  }

 private:
  std::size_t held() const { return static_cast<std::size_t>(cursor_ - buffer_.data()); }
  void restart() {
    if (cursor_ != nullptr) dropped_ += held();
    cursor_ = buffer_.data();
    end_ = buffer_.data() + buffer_.size();
  }

  std::array<char, kBufferSize> buffer_{};
  std::uint64_t dropped_ = 0;
};

}  // namespace wirelens
