// Socket owner attribution: marks each decoded socket that some process holds open with that
// process's id and descriptor, from the kernel's open-file table (kern.file). It never fails
// a pass: an unreadable or undecodable table leaves every socket as it was.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "platform/env.h"
#include "platform/freebsd/owner_table.h"
#include "records/decoded_socket.h"

namespace wirelens {

// The owners listed in a kern.file value. Every entry is taken to be as long as the first
// one says; only whole entries of socket type are used. Empty when the buffer is shorter
// than 8 bytes or the first entry's size is below 64 or beyond the buffer.
OwnerTable buildOwnerTable(std::span<const std::byte> kernFile);

// Sets pid and fd on every socket whose socketId the table lists, and names the open-file
// table among its sources (once); sockets not found stay unchanged.
void attributeFromTable(const OwnerTable& table, std::span<DecodedSocket> sockets);

// Reads kern.file and attributes the sockets from it. Failures are absorbed: an unreadable
// table, or one that cannot get its memory, leaves every socket as it was.
void attributeOwners(Env& env, std::vector<DecodedSocket>& sockets);

}  // namespace wirelens
