#include "platform/freebsd/sysctl_reader.h"

#include <cerrno>
#include <limits>
#include <string>

namespace wirelens {
namespace {

Failure<SysctlError> readFailed(std::string_view name, IoError source) {
  return fail(SysctlError{SysctlError::ReadFailed{std::string(name), source}});
}

}  // namespace

Result<SysctlValue, SysctlError> readSysctl(Env& env, std::string_view name) {
  if (const std::size_t zero = name.find('\0'); zero != std::string_view::npos) {
    return readFailed(name, IoError::wrapped(NulByteError{zero}));
  }
  const std::string terminated(name);

  std::size_t probed = 0;
  if (const int error = env.sysctlByName(terminated.c_str(), nullptr, &probed); error != 0) {
    return readFailed(name, IoError::os(error));
  }
  // A quarter more absorbs growth between the probe and the read.
  if (probed > std::numeric_limits<std::size_t>::max() - probed / 4) {
    return readFailed(name, IoError::os(ENOMEM));
  }
  const std::size_t capacity = probed + probed / 4;
  std::optional<ZeroedBuffer> buffer = ZeroedBuffer::allocate(capacity);
  if (!buffer) return readFailed(name, IoError::os(ENOMEM));

  // With nothing to hold, the read still passes a real (zero-length) buffer: a null one
  // would turn the read into a second probe and hide a value that has grown meanwhile.
  std::byte none{};
  void* target = capacity == 0 ? static_cast<void*>(&none) : buffer->data();
  std::size_t stored = capacity;
  // One read only: a value that outgrew the headroom is refused (ENOMEM) and reported.
  if (const int error = env.sysctlByName(terminated.c_str(), target, &stored); error != 0) {
    return readFailed(name, IoError::os(error));
  }
  // The kernel never stores more than it was given room for; a length beyond it is not used.
  if (stored > capacity) return readFailed(name, IoError::fixed(kInvalidSysctlLength));
  return SysctlValue{std::move(*buffer), stored};
}

}  // namespace wirelens
