#include "platform/freebsd/owner_attribution.h"

#include "platform/freebsd/sysctl_reader.h"
#include "platform/freebsd/xfile_layout.h"
#include "records/read_le.h"

namespace wirelens {

OwnerTable buildOwnerTable(std::span<const std::byte> kernFile) {
  OwnerTable table;
  const std::uint64_t length = kernFile.size();
  if (length < 8) return table;
  // The first entry's size stands for all: the system writes them uniformly.
  const std::uint64_t entrySize = readLe<std::uint64_t>(kernFile, xfile_entry::kXfSize);
  if (entrySize < xfile_entry::kMinimumSize || entrySize > length) return table;

  const std::uint64_t entries = length / entrySize;  // a trailing part entry is ignored
  table.reserve(static_cast<std::size_t>(entries));
  for (std::uint64_t k = 0; k < entries; ++k) {
    const auto entry = kernFile.subspan(static_cast<std::size_t>(k * entrySize),
                                        static_cast<std::size_t>(entrySize));
    if (readLe<std::int16_t>(entry, xfile_entry::kXfType) != xfile_entry::kTypeSocket) continue;
    // A socket shared by several descriptors keeps the first one listed.
    table.try_emplace(readLe<std::uint64_t>(entry, xfile_entry::kXfData),
                      SocketOwner{readLe<std::int32_t>(entry, xfile_entry::kXfPid),
                                  readLe<std::int32_t>(entry, xfile_entry::kXfFd)});
  }
  return table;
}

void attributeOwners(Env& env, std::vector<DecodedSocket>& sockets) {
  OwnerTable table;
  {
    Result<SysctlValue, SysctlError> kernFile = readSysctl(env, "kern.file");
    // Unreadable: this pass goes without owners, silently.
    if (!kernFile.ok()) return;
    table = buildOwnerTable(kernFile.value().bytes());
  }
  if (table.empty()) return;
  for (DecodedSocket& socket : sockets) {
    if (!socket.socketId) continue;
    const auto found = table.find(*socket.socketId);
    if (found == table.end()) continue;
    socket.pid = found->second.pid;
    socket.fd = found->second.fd;
    if (!socket.sources.contains(kSourceKernFile)) socket.sources.push_back(kSourceKernFile);
  }
}

}  // namespace wirelens
