// ByteSink: where the JSON writer appends its text. The sink exposes a window of room
// [cursor, end); appends that fit are a bounds check and a memcpy, inlined, and only a piece
// that does not fit reaches the sink's virtual slow path. A failure of the stream below is
// kept in the sink (failure()) and reported as false.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>

#include "errors/io_error.h"

namespace wirelens {

class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Appends the piece; false when the stream below failed.
  bool append(const char* data, std::size_t size) {
    if (size <= static_cast<std::size_t>(end_ - cursor_)) {
      if (size != 0) std::memcpy(cursor_, data, size);
      cursor_ += size;
      return true;
    }
    return appendSlow(data, size);
  }

  // Room for at least `size` contiguous bytes (size at most kMaxReserve) at the returned
  // pointer, or nullptr when the stream below failed. Hand the end of what was written to
  // commit(). A reservation that does not fit is treated as a piece that does not fit.
  static constexpr std::size_t kMaxReserve = 4096;
  char* reserve(std::size_t size) {
    if (size <= static_cast<std::size_t>(end_ - cursor_)) return cursor_;
    return makeRoom(size) ? cursor_ : nullptr;
  }
  void commit(char* newCursor) { cursor_ = newCursor; }
  // Bytes that fit behind the cursor without passing anything on.
  std::size_t room() const { return static_cast<std::size_t>(end_ - cursor_); }

  const std::optional<IoError>& failure() const { return failure_; }

 protected:
  // The piece does not fit the room left: pass on what is buffered, then take the piece.
  virtual bool appendSlow(const char* data, std::size_t size) = 0;
  // Pass on what is buffered so that `size` bytes of room follow the cursor.
  virtual bool makeRoom(std::size_t size) = 0;

  char* cursor_ = nullptr;
  char* end_ = nullptr;
  std::optional<IoError> failure_;
};

}  // namespace wirelens
