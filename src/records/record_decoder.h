// Decoding of the statistics device's 320-byte socket records into DecodedSockets. Pure
// functions of the bytes: every field is read at its offset, little-endian, so captured
// buffers decode the same on any host. A record of another version fails the whole decode.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "errors/collector_errors.h"
#include "records/decoded_socket.h"
#include "records/kernel_record_layout.h"
#include "result.h"

namespace wirelens {

// One record. Fails with VersionMismatch{1, version} when the record's version is not 1;
// nothing else in a record is rejected.
[[nodiscard]] Result<DecodedSocket, CollectorError> decodeRecord(
    std::span<const std::byte, kernel_record::kSize> record);

// The first recordCount records of bytes, in buffer order. Only whole records inside bytes
// are decoded, whatever recordCount claims. Fails with the first record's VersionMismatch,
// and then no socket is returned, or with DeviceRead{ENOMEM} when the sockets cannot get
// their memory.
[[nodiscard]] Result<std::vector<DecodedSocket>, CollectorError> decodeRecords(
    std::span<const std::byte> bytes, std::size_t recordCount);

}  // namespace wirelens
