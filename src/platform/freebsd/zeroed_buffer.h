// ZeroedBuffer: an owned, zero-filled byte buffer for one pass's kernel reads. It comes from
// calloc, so a large fresh buffer is zero pages from the system rather than a memset page by
// page, and a request the system cannot grant is a value (no buffer), never an exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <span>

namespace wirelens {

class ZeroedBuffer {
 public:
  ZeroedBuffer() = default;

  // A buffer of `size` zero bytes; nothing when the system refuses or the size does not fit
  // in memory. Size 0 allocates nothing and always succeeds.
  static std::optional<ZeroedBuffer> allocate(std::uint64_t size) {
    if (size == 0) return ZeroedBuffer{};
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
      if (size > std::numeric_limits<std::size_t>::max()) return std::nullopt;
    }
    void* memory = std::calloc(1, static_cast<std::size_t>(size));
    if (memory == nullptr) return std::nullopt;
    return ZeroedBuffer(static_cast<std::byte*>(memory), static_cast<std::size_t>(size));
  }

  std::byte* data() { return data_.get(); }
  std::size_t size() const { return size_; }
  std::span<const std::byte> bytes() const { return {data_.get(), size_}; }

 private:
  struct Free {
    void operator()(std::byte* memory) const { std::free(memory); }
  };
  ZeroedBuffer(std::byte* memory, std::size_t size) : data_(memory), size_(size) {}

  std::unique_ptr<std::byte, Free> data_;
  std::size_t size_ = 0;
};

}  // namespace wirelens
