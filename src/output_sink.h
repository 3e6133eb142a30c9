// OutputSink: the one way documents reach standard output. It buffers the writer's text in
// 8192 bytes, passes full buffers (and pieces of 8192 bytes or more) straight on while a
// document is serialized, ends every document with one line feed and writes out everything
// before emit returns. Output failures come back as OutputError wrapped in their context.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "errors/top_level_error.h"
#include "json/byte_sink.h"
#include "platform/env.h"
#include "result.h"

namespace wirelens {

class OutputSink final : public ByteSink {
 public:
  static constexpr std::size_t kCapacity = 8192;
  using Serializer = wirelens::Serializer;

  explicit OutputSink(Env& env);
  ~OutputSink() override;
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;

  // One document as `serialize` writes it, its line feed, then every buffered byte handed to
  // descriptor 1.
  [[nodiscard]] Result<Done, TopLevelError> emit(const Serializer& serialize);

  // Writes what is still buffered, ignoring a failure, and releases the buffer. Idempotent.
  void close();

  std::size_t buffered() const { return static_cast<std::size_t>(cursor_ - buffer_.get()); }

 protected:
  std::optional<IoError> takeSlow(const char* data, std::size_t size) override;
  std::optional<IoError> makeRoom(std::size_t size) override;

 private:
  // Writes all bytes to descriptor 1: the rest after a partial write, again after EINTR;
  // EBADF counts as written. A write that takes nothing fails with a fixed message.
  std::optional<IoError> writeOut(const char* data, std::size_t size, std::size_t& taken);
  // Writes the buffer out; bytes not taken stay at its front.
  std::optional<IoError> drainBuffer();

  Env& env_;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace wirelens
