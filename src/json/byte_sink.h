// ByteSink: where the JSON writer appends its text. The sink exposes a window of room
// [cursor, end); appends that fit are a bounds check and a memcpy, inlined, and only a piece
// that does not fit reaches the sink's virtual slow path. A sink has one way to fail: its
// slow path returns the error of the stream below; the first one is kept (failure()), the
// window closes, and every later append or reservation is refused without reaching the
// stream again.
#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <optional>

#include "errors/collector_errors.h"
#include "errors/io_error.h"
#include "result.h"

namespace wirelens {

class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Appends the piece; false when the stream below failed, now or before.
  bool append(const char* data, std::size_t size) {
    if (size <= room()) {
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
    if (size <= room()) return cursor_;
    return reserveSlow(size);
  }
  // Room for `size` bytes behind the cursor only if it is there already (nullptr
  // otherwise: nothing is passed on), for a value laid out in one piece. A sink whose buffer
  // is larger than the first-level cache asks here for the lines the next value will take.
  char* reserveInPlace(std::size_t size) {
    if (size > room()) return nullptr;
    if (prefetchAhead_ != 0) {
      for (std::size_t line = 0; line < kPrefetchSpan; line += kCacheLine) {
        __builtin_prefetch(cursor_ + prefetchAhead_ + line, 1);
      }
    }
    return cursor_;
  }
  void commit(char* newCursor) { cursor_ = newCursor; }
  // Bytes that fit behind the cursor without passing anything on.
  std::size_t room() const { return static_cast<std::size_t>(end_ - cursor_); }

  const std::optional<IoError>& failure() const { return failure_; }
  // Appends and reservations refused after the failure; a writer that stops at its first
  // failure makes none.
  int callsAfterFailure() const { return callsAfterFailure_; }

 protected:
  static constexpr std::size_t kCacheLine = 64;
  static constexpr std::size_t kPrefetchSpan = 1024;

  // The piece does not fit the room left: pass on what is buffered, then take the piece.
  // Returns the error of the stream below, if it failed.
  virtual std::optional<IoError> takeSlow(const char* data, std::size_t size) = 0;
  // Pass on what is buffered so that `size` bytes of room follow the cursor.
  virtual std::optional<IoError> makeRoom(std::size_t size) = 0;

  // Forgets a failure, for a sink that starts a new document on a new window.
  void clearFailure() {
    failure_.reset();
    callsAfterFailure_ = 0;
  }

  char* cursor_ = nullptr;
  char* end_ = nullptr;
  // Where reserveInPlace asks for lines, bytes ahead of the cursor; 0 asks for none.
  std::size_t prefetchAhead_ = 0;

 private:
  bool appendSlow(const char* data, std::size_t size) {
    if (refusedAfterFailure()) return false;
    if (std::optional<IoError> error = takeSlow(data, size)) return stop(std::move(*error));
    return true;
  }
  char* reserveSlow(std::size_t size) {
    if (refusedAfterFailure()) return nullptr;
    if (std::optional<IoError> error = makeRoom(size)) {
      stop(std::move(*error));
      return nullptr;
    }
    return cursor_;
  }
  bool refusedAfterFailure() {
    if (!failure_) return false;
    ++callsAfterFailure_;
    return true;
  }
  // The one failure path: the first error is kept and nothing fits any more.
  bool stop(IoError error) {
    failure_ = std::move(error);
    end_ = cursor_;
    return false;
  }

  std::optional<IoError> failure_;
  int callsAfterFailure_ = 0;
};

// Writes one document into the sink it is given: success, or the writer's first failure.
using Serializer = std::function<Result<Done, SerializerError>(ByteSink&)>;

}  // namespace wirelens
