// OwnerTable: socket kernel address -> the first process and descriptor that kern.file lists
// for it. Open addressing with linear probing in one array, sized once before the first
// insert for the most keys it will be given: no allocation per entry, and most lookups touch
// one cache line. Keys are any 64-bit values, 0 included; the one value that marks a free
// slot is kept aside in a field of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace wirelens {

struct SocketOwner {
  std::int32_t pid = 0;
  std::int32_t fd = 0;
};

class OwnerTable {
 public:
  OwnerTable() = default;
  // Room for up to maxKeys distinct keys; room for none when the memory cannot be had.
  explicit OwnerTable(std::size_t maxKeys) noexcept;

  // Adds key -> owner unless the table holds the key already: the first entry wins. Adds
  // nothing once maxKeys distinct keys are held.
  void tryEmplace(std::uint64_t key, SocketOwner owner);
  // The owner held for key, or nullptr.
  const SocketOwner* find(std::uint64_t key) const;
  // Starts loading the slot where key would be, for a find or insert of it shortly after:
  // keys come in no useful order, so nearly every first probe would otherwise wait on memory.
  void prefetch(std::uint64_t key) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[home(key)]);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  struct Slot {
    std::uint64_t key;
    SocketOwner owner;
  };
  static constexpr std::uint64_t kFree = ~std::uint64_t{0};

  // Kernel addresses differ mostly in their middle bits; the multiply spreads them over the
  // top bits, which pick the slot.
  std::size_t home(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
  }

  std::vector<Slot> slots_;
  unsigned shift_ = 63;
  std::size_t maxKeys_ = 0;
  std::size_t size_ = 0;
  std::optional<SocketOwner> freeKeyOwner_;  // the owner of key kFree, when listed
};

}  // namespace wirelens
