#include "json/chunking_sink.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace wirelens {

ChunkingSink::ChunkingSink(ByteSink& below)
    : below_(below), chunk_(new (std::nothrow) char[kChunkSize]) {
  // Without its chunk the sink has no room, and the first piece fails the document.
  if (!chunk_) {
    failure_ = IoError::os(ENOMEM);
    return;
  }
  cursor_ = chunk_.get();
  end_ = chunk_.get() + kChunkSize;
}

bool ChunkingSink::passOn() {
  if (failure_) return false;
  const auto size = static_cast<std::size_t>(cursor_ - chunk_.get());
  cursor_ = chunk_.get();
  if (size == 0 || below_.append(chunk_.get(), size)) return true;
  failure_ = below_.failure();
  if (!failure_) failure_ = IoError::fixed("output sink refused the data");
  // Nothing fits any more, so every later piece comes here and is refused.
  end_ = cursor_;
  return false;
}

bool ChunkingSink::makeRoom(std::size_t) {
  // Reservations are at most kMaxReserve, far below a chunk.
  return passOn();
}

bool ChunkingSink::appendSlow(const char* data, std::size_t size) {
  if (!passOn()) return false;
  if (size <= kChunkSize) {
    std::memcpy(cursor_, data, size);
    cursor_ += size;
    return true;
  }
  if (below_.append(data, size)) return true;
  failure_ = below_.failure();
  if (!failure_) failure_ = IoError::fixed("output sink refused the data");
  end_ = cursor_;
  return false;
}

}  // namespace wirelens
