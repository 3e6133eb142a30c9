#include "platform/freebsd/device_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <string>

#include "platform/freebsd/unique_fd.h"
#include "platform/freebsd/zeroed_buffer.h"
#include "platform/read_buffer.h"
#include "records/kernel_record_layout.h"
#include "records/read_le.h"
#include "records/record_decoder.h"

namespace wirelens {
namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kHeaderVersion = 0;      // u32
constexpr std::size_t kHeaderRecordCount = 8;  // u32, a sizing hint only

constexpr std::uint64_t kMinimumRecordBytes = 45056;
constexpr std::uint64_t kSpareBytes = 20480;

// Both paths are string literals, so their text ends with a zero byte and is handed to the
// system as it stands: opening the device needs no memory.
static_assert(kDeviceFullPath.data()[kDeviceFullPath.size()] == '\0');
static_assert(kDevicePath.data()[kDevicePath.size()] == '\0');

// An interrupted open is repeated; any other failure is the caller's to judge.
SysResult openOnce(Env& env, std::string_view path) {
  SysResult r;
  do {
    r = env.openDevice(path.data());
  } while (!r.ok() && r.error == EINTR);
  return r;
}

// Whatever refused the full node, the plain one is tried; only its error is reported.
Result<UniqueFd, CollectorError> openDevice(Env& env) {
  SysResult r = openOnce(env, kDeviceFullPath);
  if (!r.ok()) r = openOnce(env, kDevicePath);
  if (!r.ok()) {
    return fail(CollectorError{CollectorError::DeviceOpen{
        std::string(kDeviceFullPath) + " or " + std::string(kDevicePath), IoError::os(r.error)}});
  }
  return UniqueFd(env, static_cast<int>(r.value));
}

}  // namespace

std::uint64_t deviceBufferSize(std::uint32_t recordCount) {
  const std::uint64_t n = recordCount;
  return std::max((n + n / 5) * kernel_record::kSize, kMinimumRecordBytes) + kSpareBytes;
}

Result<std::vector<DecodedSocket>, CollectorError> readDeviceSockets(Env& env) {
  Result<UniqueFd, CollectorError> opened = openDevice(env);
  if (!opened.ok()) return fail(std::move(opened).error());
  const UniqueFd device = std::move(opened).value();

  std::array<std::byte, kHeaderSize> header{};
  // One request, no retry.
  SysResult asked = env.ioctl(device.get(), kDeviceHeaderRequest, header.data());
  if (!asked.ok()) {
    return fail(
        CollectorError{CollectorError::Ioctl{kDeviceHeaderRequest, IoError::os(asked.error)}});
  }
  const std::uint32_t version = readLe<std::uint32_t>(header, kHeaderVersion);
  if (version != kDeviceVersion) {
    return fail(CollectorError{CollectorError::VersionMismatch{kDeviceVersion, version}});
  }

  const std::uint64_t bufferSize =
      deviceBufferSize(readLe<std::uint32_t>(header, kHeaderRecordCount));
  // A count the system cannot back (up to ~1.6 TB) ends the pass; reading into anything
  // smaller than the computed size is not an option. The sockets decoded from the buffer
  // are the pass's next large block.
  std::optional<ZeroedBuffer> buffer =
      allocateReadBuffer(bufferSize, bufferSize / kernel_record::kSize * sizeof(DecodedSocket));
  if (!buffer) return fail(CollectorError{CollectorError::DeviceRead{IoError::os(ENOMEM)}});

  // Exactly one read, even after EINTR or a short count: what it returns is the snapshot.
  SysResult got = env.read(device.get(), buffer->data(), buffer->size());
  if (!got.ok()) return fail(CollectorError{CollectorError::DeviceRead{IoError::os(got.error)}});
  // No system read reports more than it was given; a count that does is not used.
  const std::optional<std::size_t> count = checkedCount(got, buffer->size());
  if (!count) {
    return fail(CollectorError{CollectorError::DeviceRead{IoError::fixed(kInvalidReadCount)}});
  }
  const std::size_t n = *count;
  if (n % kernel_record::kSize != 0) {
    return fail(CollectorError{CollectorError::Parse{0, "buffer size " + std::to_string(n) +
                                                            " is not a multiple of record size " +
                                                            std::to_string(kernel_record::kSize)}});
  }
  return decodeRecords(buffer->bytes().first(n), n / kernel_record::kSize);
}

}  // namespace wirelens
