#include "platform/read_buffer.h"

#include <cstddef>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc
#include <limits>
#include <memory>
#include <new>

namespace wirelens {

std::optional<ZeroedBuffer> allocateReadBuffer(std::uint64_t size, std::uint64_t laterBytes) {
#if defined(__GLIBC__)
  // Address space for the later blocks is claimed first and given back once the buffer is
  // placed above it; it is never touched, so it costs no memory.
  std::unique_ptr<std::byte[]> claim;
  if (laterBytes <= std::numeric_limits<std::size_t>::max()) {
    claim.reset(new (std::nothrow) std::byte[static_cast<std::size_t>(laterBytes)]);
  }
  std::optional<ZeroedBuffer> buffer = ZeroedBuffer::allocate(size);
  claim.reset();
  return buffer;
#else
  (void)laterBytes;
  return ZeroedBuffer::allocate(size);
#endif
}

}  // namespace wirelens
