// Fuzz target: the kern.file owner table over any bytes. Expected: a plain map built here
// from the entry rules (the first entry's size as every entry's stride, at least up to the
// end of xf_data and within the buffer; whole entries only; socket entries only; the first
// entry of a key wins), and attribution that sets pid, fd and the source exactly for the
// sockets the map lists.
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "platform/freebsd/owner_attribution.h"

namespace {

using namespace wirelens;

using Owner = std::pair<std::int32_t, std::int32_t>;

std::uint64_t field(const std::uint8_t* base, std::size_t offset, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | base[offset + i];
  return value;
}

struct Reference {
  std::map<std::uint64_t, Owner> owners;
  std::vector<std::uint64_t> probes;  // every xf_data seen, socket or not
};

// xf_size at 0 (u64), xf_pid at 8 (i32), xf_fd at 16 (i32), xf_type at 32 (i16), xf_data
// at 56 (u64).
Reference referenceTable(const std::uint8_t* data, std::size_t size) {
  Reference ref;
  if (size < 8) return ref;
  const std::uint64_t stride = field(data, 0, 8);
  if (stride < 64 || stride > size) return ref;
  for (std::uint64_t at = 0; size - at >= stride; at += stride) {
    const std::uint8_t* entry = data + at;
    const std::uint64_t key = field(entry, 56, 8);
    ref.probes.push_back(key);
    if (field(entry, 32, 2) != 2) continue;
    ref.owners.try_emplace(key, static_cast<std::int32_t>(field(entry, 8, 4)),
                           static_cast<std::int32_t>(field(entry, 16, 4)));
  }
  return ref;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Reference ref = referenceTable(data, size);
  const OwnerTable table = buildOwnerTable(std::as_bytes(std::span(data, size)));
  FUZZ_CHECK(table.size() == ref.owners.size(), "%zu owners, the reference has %zu", table.size(),
             ref.owners.size());

  std::vector<std::uint64_t> probes = ref.probes;
  probes.push_back(0);
  probes.push_back(~std::uint64_t{0});
  for (std::uint64_t key : probes) {
    const SocketOwner* owner = table.find(key);
    const auto expected = ref.owners.find(key);
    if (expected == ref.owners.end()) {
      FUZZ_CHECK(owner == nullptr, "key %llx is listed but should not be",
                 static_cast<unsigned long long>(key));
    } else {
      FUZZ_CHECK(owner != nullptr && owner->pid == expected->second.first &&
                     owner->fd == expected->second.second,
                 "key %llx: wrong or missing owner", static_cast<unsigned long long>(key));
    }
  }

  // One socket per probe, every other one already naming the open-file table, and one
  // socket without an id.
  std::vector<DecodedSocket> sockets(probes.size() + 1);
  for (std::size_t i = 0; i < probes.size(); ++i) {
    sockets[i].socketId = probes[i];
    sockets[i].sources.push_back(number(DataSource::freebsdKld));
    if (i % 2 == 1) sockets[i].sources.push_back(number(DataSource::kernFile));
  }
  const std::vector<DecodedSocket> before = sockets;
  attributeFromTable(table, sockets);
  for (std::size_t i = 0; i < sockets.size(); ++i) {
    const DecodedSocket& s = sockets[i];
    const auto expected = s.socketId ? ref.owners.find(*s.socketId) : ref.owners.end();
    if (expected == ref.owners.end()) {
      FUZZ_CHECK(!s.pid && !s.fd && s.sources == before[i].sources,
                 "socket %zu changed without an owner", i);
      continue;
    }
    FUZZ_CHECK(s.pid == expected->second.first && s.fd == expected->second.second,
               "socket %zu: wrong owner", i);
    FUZZ_CHECK(s.sources.size() == 2 && s.sources[0] == number(DataSource::freebsdKld) &&
                   s.sources[1] == number(DataSource::kernFile),
               "socket %zu: sources", i);
  }
  return 0;
}
