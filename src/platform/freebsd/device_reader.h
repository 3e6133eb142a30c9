// The statistics device reader: once per pass it opens the device (the full node, else the
// plain one), asks for the header, reads every record with a single read into a buffer sized
// from the header's count, and decodes them. The device is never held between passes; on
// every path after a successful open the descriptor is closed and the buffer released.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "errors/collector_errors.h"
#include "platform/env.h"
#include "records/decoded_socket.h"
#include "result.h"

namespace wirelens {

inline constexpr std::string_view kDeviceFullPath = "/dev/wirelens-full";
inline constexpr std::string_view kDevicePath = "/dev/wirelens";
// Read-direction request, 16-byte argument, group 'T', number 1.
inline constexpr std::uint64_t kDeviceHeaderRequest = 0x40105401;
inline constexpr std::uint32_t kDeviceVersion = 1;

// Bytes to read for a header announcing recordCount records: a fifth more than announced,
// never under 45056, plus 64 records of room. No overflow: at most about 1.6e12.
std::uint64_t deviceBufferSize(std::uint32_t recordCount);

// Every socket the device reports, in device order. Fails with DeviceOpen (both paths
// refused; the second open's error), Ioctl, VersionMismatch (header or record), DeviceRead
// (the read failed or reported a count outside its buffer, or ENOMEM when the buffer or the
// decoded sockets cannot be had) or Parse (not whole records).
[[nodiscard]] Result<std::vector<DecodedSocket>, CollectorError> readDeviceSockets(Env& env);

}  // namespace wirelens
