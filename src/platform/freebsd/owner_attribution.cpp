#include "platform/freebsd/owner_attribution.h"

#include <new>

#include "platform/freebsd/sysctl_reader.h"
#include "platform/freebsd/xfile_layout.h"
#include "records/read_le.h"

namespace wirelens {

namespace {

// How many entries ahead of the one at hand its table slot is fetched: enough to cover a
// memory access, few enough to stay in the cache.
constexpr std::size_t kPrefetchDistance = 8;

struct Entries {
  std::span<const std::byte> bytes;
  std::size_t size = 0;   // of each entry
  std::size_t count = 0;  // whole entries

  std::span<const std::byte> operator[](std::size_t k) const {
    return bytes.subspan(k * size, size);
  }
  static bool isSocket(std::span<const std::byte> entry) {
    return readLe<std::int16_t>(entry, xfile_entry::kXfType) == xfile_entry::kTypeSocket;
  }
  static std::uint64_t key(std::span<const std::byte> entry) {
    return readLe<std::uint64_t>(entry, xfile_entry::kXfData);
  }
};

}  // namespace

OwnerTable buildOwnerTable(std::span<const std::byte> kernFile) {
  const std::uint64_t length = kernFile.size();
  if (length < 8) return {};
  // The first entry's size stands for all: the system writes them uniformly.
  const std::uint64_t entrySize = readLe<std::uint64_t>(kernFile, xfile_entry::kXfSize);
  if (entrySize < xfile_entry::kMinimumSize || entrySize > length) return {};
  // A trailing part entry is ignored.
  const Entries entries{kernFile, static_cast<std::size_t>(entrySize),
                        static_cast<std::size_t>(length / entrySize)};

  // The socket entries bound the keys, so the table is sized once.
  std::size_t sockets = 0;
  for (std::size_t k = 0; k < entries.count; ++k) sockets += Entries::isSocket(entries[k]);
  OwnerTable table(sockets);
  for (std::size_t k = 0; k < entries.count; ++k) {
    if (k + kPrefetchDistance < entries.count) {
      const auto ahead = entries[k + kPrefetchDistance];
      if (Entries::isSocket(ahead)) table.prefetch(Entries::key(ahead));
    }
    const auto entry = entries[k];
    if (!Entries::isSocket(entry)) continue;
    // A socket shared by several descriptors keeps the first one listed.
    table.tryEmplace(Entries::key(entry),
                     SocketOwner{readLe<std::int32_t>(entry, xfile_entry::kXfPid),
                                 readLe<std::int32_t>(entry, xfile_entry::kXfFd)});
  }
  return table;
}

void attributeFromTable(const OwnerTable& table, std::span<DecodedSocket> sockets) {
  if (table.empty()) return;
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    if (i + kPrefetchDistance < sockets.size()) {
      const auto& ahead = sockets[i + kPrefetchDistance].socketId;
      if (ahead) table.prefetch(*ahead);
    }
    DecodedSocket& socket = sockets[i];
    if (!socket.socketId) continue;
    const SocketOwner* owner = table.find(*socket.socketId);
    if (owner == nullptr) continue;
    socket.pid = owner->pid;
    socket.fd = owner->fd;
    if (!socket.sources.contains(DataSource::kernFile))
      socket.sources.push_back(DataSource::kernFile);
  }
}

void attributeOwners(Env& env, std::vector<DecodedSocket>& sockets) try {
  OwnerTable table;
  {
    Result<SysctlValue, SysctlError> kernFile = readSysctl(env, "kern.file");
    // Unreadable: this pass goes without owners, silently.
    if (!kernFile.ok()) return;
    table = buildOwnerTable(kernFile.value().bytes());
  }
  attributeFromTable(table, sockets);
} catch (const std::bad_alloc&) {
  // The buffer and the table report refused memory as values. What else the step
  // allocates (on hosts without kern.file, the table gathered from /proc; the texts of a
  // read's error) is caught here: short of memory, the pass goes without owners.
}

}  // namespace wirelens
