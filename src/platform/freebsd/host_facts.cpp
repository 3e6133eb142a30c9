#include "platform/freebsd/host_facts.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <string_view>

#include "platform/freebsd/sysctl_reader.h"
#include "platform/freebsd/zeroed_buffer.h"
#include "records/utf8_lossy.h"

namespace wirelens {
namespace {

constexpr std::string_view kUnknown = "unknown";
constexpr long kLeastHostNameMax = 255;

}  // namespace

std::string lookupHostName(Env& env) try {
  // No limit, a failed call and a limit below 255 all mean 255.
  const auto limit = static_cast<std::size_t>(std::max(env.hostNameMax(), kLeastHostNameMax));
  std::optional<ZeroedBuffer> buffer = ZeroedBuffer::allocate(std::uint64_t{limit} + 1);
  if (!buffer) return std::string(kUnknown);
  // One byte less than the buffer, so a zero byte always ends the name even when the
  // system truncates it without one.
  if (env.hostName(reinterpret_cast<char*>(buffer->data()), limit) != 0) {
    return std::string(kUnknown);
  }
  const std::span<const std::byte> all = buffer->bytes();
  const auto zero = std::find(all.begin(), all.end(), std::byte{0});
  return decodeUtf8Lossy(all.first(static_cast<std::size_t>(zero - all.begin())));
} catch (const std::bad_alloc&) {
  // "unknown" fits in the string itself and needs no memory.
  return std::string(kUnknown);
}

std::string lookupOsVersion(Env& env) try {
  Result<SysctlValue, SysctlError> release = readSysctl(env, "kern.osrelease");
  if (!release.ok()) return std::string(kUnknown);
  std::string text = decodeUtf8Lossy(release.value().bytes());
  // Every trailing zero goes; a zero inside the text stays.
  const std::size_t end = text.find_last_not_of('\0');
  text.erase(end == std::string::npos ? 0 : end + 1);
  return "FreeBSD " + text;
} catch (const std::bad_alloc&) {
  return std::string(kUnknown);
}

}  // namespace wirelens
