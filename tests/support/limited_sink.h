// LimitedSink: a ByteSink that takes the first `limit` bytes and then fails with the given
// OS error, as a closed pipe does. It keeps what it took; callsAfterFailure() (of every sink)
// tells whether a writer stopped at once.
#pragma once

#include <cerrno>
#include <optional>
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

 protected:
  std::optional<IoError> takeSlow(const char*, std::size_t) override { return refuse(); }
  std::optional<IoError> makeRoom(std::size_t) override { return refuse(); }

 private:
  IoError refuse() const { return IoError::os(osError_); }

  std::string buffer_;
  int osError_;
};

}  // namespace wirelens::testing
