// Socket owner attribution: marks each decoded socket that some process holds open with that
// process's id and descriptor, from the kernel's open-file table (kern.file). It never fails
// a pass: an unreadable or undecodable table leaves every socket as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/env.h"
#include "records/decoded_socket.h"

namespace wirelens {

struct SocketOwner {
  std::int32_t pid = 0;
  std::int32_t fd = 0;
};

// Socket kernel address -> the first process and descriptor the table lists for it.
using OwnerTable = std::unordered_map<std::uint64_t, SocketOwner>;

// The owners listed in a kern.file value. Every entry is taken to be as long as the first
// one says; only whole entries of socket type are used. Empty when the buffer is shorter
// than 8 bytes or the first entry's size is below 64 or beyond the buffer.
OwnerTable buildOwnerTable(std::span<const std::byte> kernFile);

// Sets pid and fd on every socket whose socketId the table lists, and names the open-file
// table among its sources (once). Failures are absorbed; sockets not found stay unchanged.
void attributeOwners(Env& env, std::vector<DecodedSocket>& sockets);

}  // namespace wirelens
