// LimitedSink: a ByteSink that takes the first `limit` bytes and then fails with the given
// OS error, as a closed pipe does. It keeps what it took and counts the calls that reach it
// after the failure, so a test can tell that a writer stopped at once.
#pragma once

#include <cerrno>
#include <string>
#include <string_view>

#include "json/byte_sink.h"

namespace wirelens::testing {

class LimitedSink final : public ByteSink {
 public:
  explicit LimitedSink(std::size_t limit, int osError = EPIPE)
      : buffer_(limit, '\0'), osError_(osError) {
    cursor_ = buffer_.data();
    end_ = buffer_.data() + buffer_.size();
  }
  LimitedSink(const LimitedSink&) = delete;
  LimitedSink& operator=(const LimitedSink&) = delete;

  std::string_view taken() const {
    return {buffer_.data(), static_cast<std::size_t>(cursor_ - buffer_.data())};
  }
  int callsAfterFailure() const { return callsAfterFailure_; }

 protected:
  bool appendSlow(const char*, std::size_t) override { return refuse(); }
  bool makeRoom(std::size_t) override { return refuse(); }

 private:
  bool refuse() {
    if (failure_) ++callsAfterFailure_;
    failure_ = IoError::os(osError_);
    // Nothing fits any more: every later piece reaches the slow path and is counted.
    end_ = cursor_;
    return false;
  }

  std::string buffer_;
  int osError_;
  int callsAfterFailure_ = 0;
};

}  // namespace wirelens::testing
