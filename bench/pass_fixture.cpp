#include "pass_fixture.h"

#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "document/batch_writer.h"
#include "memory_sinks.h"
#include "platform/freebsd/owner_attribution.h"
#include "platform/freebsd/xfile_layout.h"
#include "records/pass_summary.h"
#include "records/record_assembly.h"
#include "records/record_decoder.h"
#include "synthetic_sockets.h"
#include "tool_version.h"

namespace wirelens::bench {
namespace {

constexpr std::uint64_t kSeed = 20240611;
constexpr std::int16_t kTypeVnode = 1;
constexpr std::int16_t kTypePipe = 3;

template <typename T>
void put(std::vector<std::byte>& table, std::size_t at, T value) {
  std::memcpy(table.data() + at, &value, sizeof value);
}

void appendEntry(std::vector<std::byte>& table, std::int32_t pid, std::int32_t fd,
                 std::int16_t type, std::uint64_t data) {
  const std::size_t at = table.size();
  table.resize(at + xfile_entry::kSize);
  put<std::uint64_t>(table, at + xfile_entry::kXfSize, xfile_entry::kSize);
  put<std::int32_t>(table, at + xfile_entry::kXfPid, pid);
  put<std::int32_t>(table, at + xfile_entry::kXfFd, fd);
  put<std::int16_t>(table, at + xfile_entry::kXfType, type);
  put<std::uint64_t>(table, at + xfile_entry::kXfData, data);
}

// Two entries per socket: nine sockets in ten are held by a process and by a child that
// inherited the descriptor (the first listed wins), the tenth (a connection the kernel keeps
// after its close) by nobody, with an unrelated file in its place. Then one unrelated file
// (vnodes and pipes) per four sockets, and everything in shuffled order.
std::vector<std::byte> kernFileFor(const std::vector<DecodedSocket>& sockets,
                                   std::size_t& entries) {
  struct Entry {
    std::int32_t pid, fd;
    std::int16_t type;
    std::uint64_t data;
  };
  std::vector<Entry> list;
  std::mt19937_64 draw(kSeed);
  const std::size_t n = sockets.size();
  list.reserve(2 * n + n / 4);
  for (std::size_t i = 0; i < n; ++i) {
    const auto pid = static_cast<std::int32_t>(1000 + i % 700);
    const auto fd = static_cast<std::int32_t>(3 + i % 4000);
    const std::uint64_t key = sockets[i].socketId.value_or(0);
    if (i % 10 != 9) {
      list.push_back({pid, fd, xfile_entry::kTypeSocket, key});
      list.push_back({pid + 1, fd, xfile_entry::kTypeSocket, key});
    } else {
      list.push_back({pid, fd, kTypeVnode, 0xfffff80030000000ull + i * 0x100});
      list.push_back({pid, fd + 1, kTypePipe, 0xfffff80040000000ull + i * 0x100});
    }
  }
  for (std::size_t i = 0; i < n / 4; ++i) {
    list.push_back({static_cast<std::int32_t>(1 + i % 900), static_cast<std::int32_t>(i % 64),
                    i % 3 == 0 ? kTypePipe : kTypeVnode, 0xfffff80050000000ull + i * 0x100});
  }
  // Fisher-Yates on the engine's raw output keeps the order the same everywhere.
  for (std::size_t i = list.size(); i > 1; --i) std::swap(list[i - 1], list[draw() % i]);
  std::vector<std::byte> table;
  table.reserve(list.size() * xfile_entry::kSize);
  for (const Entry& e : list) appendEntry(table, e.pid, e.fd, e.type, e.data);
  entries = list.size();
  return table;
}

std::unique_ptr<PassFixture> build(std::size_t count) {
  auto f = std::make_unique<PassFixture>();
  f->count = count;
  f->deviceBytes = testing::syntheticRecords(count, kSeed);
  f->sockets = std::move(decodeRecords(f->device(), count)).value();
  f->kernFile = kernFileFor(f->sockets, f->kernFileEntries);
  attributeFromTable(buildOwnerTable(f->kernFile), f->sockets);

  BatchMetadata m;
  m.timestampNs = 1718000000123456789ull;
  m.hostname = "bench-host.example.org";
  m.platform = 2;
  m.osVersion = "FreeBSD 14.1-RELEASE";
  m.intervalMs = 1000;
  m.dataSources = {number(DataSource::freebsdKld), number(DataSource::kernFile)};
  m.collectionDurationNs = 41234567;
  m.pcblistGeneration = count;
  m.batchSequence = 17;
  m.toolVersion = std::string(kToolVersion);
  f->batch.metadata = m;
  f->batch.records = assembleRecords(f->sockets);
  f->batch.summary = buildSummary(f->batch.records, 1000, 1718000000173456789ull);

  StringSink text(count * 1100 + 4096);
  (void)writeBatch(f->batch, OutputStyle::compact, text);
  f->compact = text.text();
  return f;
}

}  // namespace

bool writeCompact(GatheringSink& gathering, const Batch& batch, ByteSink& sink, OutputStyle style) {
  return gathering.gather(sink, [&](ByteSink& text) { return writeBatch(batch, style, text); })
      .ok();
}

const PassFixture& passFixture(std::size_t count) {
  static std::map<std::size_t, std::unique_ptr<PassFixture>> built;
  std::unique_ptr<PassFixture>& slot = built[count];
  if (!slot) slot = build(count);
  return *slot;
}

void socketCounts(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
}

void reportPerSocket(benchmark::State& state, std::size_t sockets, double budgetNsPerSocket) {
  using C = benchmark::Counter;
  // A rate per socket, inverted, is the time per socket.
  state.counters["per_socket"] =
      C(static_cast<double>(sockets), C::kIsIterationInvariantRate | C::kInvert);
  if (budgetNsPerSocket > 0) state.counters["budget_ns"] = budgetNsPerSocket;
}

}  // namespace wirelens::bench
