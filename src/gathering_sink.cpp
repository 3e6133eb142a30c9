#include "gathering_sink.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace wirelens {
namespace {

// The piece is larger than the first-level cache, so a value laid out in one go would wait
// for each line it lands on; asking a record ahead of the cursor hides that.
constexpr std::size_t kPrefetchAhead = 1024;

// The stream below refused without saying why, which must still not read as success.
IoError failureOf(const ByteSink& below) {
  return below.failure() ? *below.failure() : IoError::fixed("output sink refused the data");
}

}  // namespace

GatheringSink::GatheringSink() : piece_(new (std::nothrow) char[kPieceSize]) {
  prefetchAhead_ = kPrefetchAhead;
}

Result<Done, SerializerError> GatheringSink::gather(ByteSink& below, const Serializer& serialize) {
  // Without its piece the sink has no room, and the document fails before any text.
  if (!piece_) return fail(SerializerError{IoError::os(ENOMEM)});
  below_ = &below;
  clearFailure();
  cursor_ = piece_.get();
  end_ = piece_.get() + kPieceSize;
  Result<Done, SerializerError> written = serialize(*this);
  // What was written goes on also after a failure of the writer, as it would ungathered.
  std::optional<IoError> passed = failure() ? std::nullopt : passOn();
  below_ = nullptr;
  if (!written.ok()) return written;
  if (passed) return fail(SerializerError{*passed});
  return Done{};
}

std::optional<IoError> GatheringSink::passOn() {
  const auto size = static_cast<std::size_t>(cursor_ - piece_.get());
  cursor_ = piece_.get();
  if (size == 0 || below_->append(piece_.get(), size)) return std::nullopt;
  return failureOf(*below_);
}

std::optional<IoError> GatheringSink::makeRoom(std::size_t) {
  // Reservations are at most kMaxReserve, far below a piece.
  return passOn();
}

std::optional<IoError> GatheringSink::takeSlow(const char* data, std::size_t size) {
  if (std::optional<IoError> error = passOn()) return error;
  if (size <= kPieceSize) {
    std::memcpy(cursor_, data, size);
    cursor_ += size;
    return std::nullopt;
  }
  if (below_->append(data, size)) return std::nullopt;
  return failureOf(*below_);
}

}  // namespace wirelens
