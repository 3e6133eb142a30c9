#include "platform/freebsd/owner_table.h"

#include <bit>
#include <new>

namespace wirelens {

OwnerTable::OwnerTable(std::size_t maxKeys) noexcept {
  // No kern.file value comes near a quarter of what a vector can index; such a count gets
  // no room, as a refused allocation does.
  if (maxKeys == 0 || maxKeys > slots_.max_size() / 4) return;
  // At most three slots in four taken, so that probe runs stay short.
  const std::size_t capacity = std::bit_ceil(maxKeys + maxKeys / 3 + 1);
  // The table is sized by kern.file's data. Without its memory it stays empty, which leaves
  // the pass without owners, as any other trouble with the table does.
  try {
    slots_.assign(capacity, Slot{kFree, {}});
  } catch (const std::bad_alloc&) {
    return;
  }
  maxKeys_ = maxKeys;
  shift_ = static_cast<unsigned>(64 - std::countr_zero(capacity));
}

void OwnerTable::tryEmplace(std::uint64_t key, SocketOwner owner) {
  if (size_ == maxKeys_) return;
  if (key == kFree) {
    if (!freeKeyOwner_) {
      freeKeyOwner_ = owner;
      ++size_;
    }
    return;
  }
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = home(key);; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.key == key) return;
    if (slot.key == kFree) {
      slot = Slot{key, owner};
      ++size_;
      return;
    }
  }
}

const SocketOwner* OwnerTable::find(std::uint64_t key) const {
  if (key == kFree) return freeKeyOwner_ ? &*freeKeyOwner_ : nullptr;
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = home(key);; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.key == key) return &slot.owner;
    if (slot.key == kFree) return nullptr;
  }
}

}  // namespace wirelens
