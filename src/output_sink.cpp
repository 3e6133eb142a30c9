#include "output_sink.h"

#include <cerrno>
#include <cstring>

namespace wirelens {

OutputSink::OutputSink(Env& env) : env_(env), buffer_(new char[kCapacity]) {
  cursor_ = buffer_.get();
  end_ = buffer_.get() + kCapacity;
}

OutputSink::~OutputSink() {
  close();
}

std::optional<IoError> OutputSink::writeOut(const char* data, std::size_t size,
                                            std::size_t& taken) {
  taken = 0;
  while (taken < size) {
    SysResult r = env_.writeStdout(data + taken, size - taken);
    if (!r.ok()) {
      if (r.error == EINTR) continue;
      // Descriptor 1 not open: the output is discarded, as if written.
      if (r.error == EBADF) {
        taken = size;
        return std::nullopt;
      }
      return IoError::os(r.error);
    }
    const std::optional<std::size_t> count = checkedCount(r, size - taken);
    if (!count) return IoError::fixed(kInvalidWriteCount);
    if (*count == 0) return IoError::fixed("failed to write the buffered data");
    taken += *count;
  }
  return std::nullopt;
}

std::optional<IoError> OutputSink::drainBuffer() {
  const std::size_t size = buffered();
  std::size_t taken = 0;
  std::optional<IoError> error = writeOut(buffer_.get(), size, taken);
  if (taken != 0 && taken < size) std::memmove(buffer_.get(), buffer_.get() + taken, size - taken);
  cursor_ = buffer_.get() + (size - taken);
  return error;
}

std::optional<IoError> OutputSink::makeRoom(std::size_t size) {
  if (!buffer_ || size > kCapacity) return IoError::fixed("failed to write the buffered data");
  return drainBuffer();
}

std::optional<IoError> OutputSink::takeSlow(const char* data, std::size_t size) {
  if (!buffer_) return IoError::fixed("failed to write the buffered data");
  if (std::optional<IoError> error = drainBuffer()) return error;
  if (size < kCapacity) {
    std::memcpy(cursor_, data, size);
    cursor_ += size;
    return std::nullopt;
  }
  std::size_t taken = 0;
  return writeOut(data, size, taken);
}

Result<Done, TopLevelError> OutputSink::emit(const Serializer& serialize) {
  clearFailure();
  if (buffer_) end_ = buffer_.get() + kCapacity;
  Result<Done, SerializerError> written = serialize(*this);
  if (!written.ok()) {
    return fail(
        withContext(kWriteContext, OutputError{OutputError::Serialization{written.error()}}));
  }
  if (!append("\n", 1)) {
    return fail(withContext(kWriteContext, OutputError{OutputError::Io{*failure()}}));
  }
  if (auto error = drainBuffer()) {
    return fail(withContext(kFlushContext, OutputError{OutputError::Io{*error}}));
  }
  return Done{};
}

void OutputSink::close() {
  if (!buffer_) return;
  (void)drainBuffer();
  buffer_.reset();
  cursor_ = end_ = nullptr;
}

}  // namespace wirelens
