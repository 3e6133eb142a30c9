// One benchmark per stage of a pass, each at 1,000, 10,000 and 100,000 sockets, reported per
// socket and against the stage's budget: decode 100 ns per socket, owner attribution 60 ns
// per kern.file entry plus 30 ns per socket, assembly 100 ns per socket, compact JSON 600 ns
// per socket. A stage's own result is released outside the timing; the whole pure pass (all
// stages, into a discarding sink, results released) closes the list.
#include <benchmark/benchmark.h>

#include "document/batch_writer.h"
#include "memory_sinks.h"
#include "pass_fixture.h"
#include "platform/freebsd/owner_attribution.h"
#include "platform/kern_file_standin.h"
#include "records/pass_summary.h"
#include "records/record_assembly.h"
#include "records/record_decoder.h"

namespace wirelens::bench {
namespace {

std::size_t sockets(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

void Decode(benchmark::State& state) {
  const PassFixture& f = passFixture(sockets(state));
  for (auto _ : state) {
    auto decoded = decodeRecords(f.device(), f.count);
    benchmark::DoNotOptimize(decoded.value().data());
    // Releasing the result belongs to the end of the pass (WholePass), not to the stage.
    state.PauseTiming();
    decoded = std::vector<DecodedSocket>{};
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.deviceBytes.size()));
  reportPerSocket(state, f.count, 100.0);
}
BENCHMARK(Decode)->Apply(socketCounts);

void Attribution(benchmark::State& state) {
  const PassFixture& f = passFixture(sockets(state));
  std::vector<DecodedSocket> target = f.sockets;
  for (auto _ : state) {
    const OwnerTable table = buildOwnerTable(f.kernFile);
    attributeFromTable(table, target);
    benchmark::DoNotOptimize(target.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.kernFile.size()));
  state.counters["entries_per_socket"] =
      static_cast<double>(f.kernFileEntries) / static_cast<double>(f.count);
  reportPerSocket(state, f.count,
                  (60.0 * f.kernFileEntries + 30.0 * f.count) / static_cast<double>(f.count));
}
BENCHMARK(Attribution)->Apply(socketCounts);

void Assembly(benchmark::State& state) {
  const PassFixture& f = passFixture(sockets(state));
  for (auto _ : state) {
    std::vector<SocketRecord> records = assembleRecords(f.sockets);
    benchmark::DoNotOptimize(records.data());
    state.PauseTiming();
    records = {};
    state.ResumeTiming();
  }
  reportPerSocket(state, f.count, 100.0);
}
BENCHMARK(Assembly)->Apply(socketCounts);

void Summary(benchmark::State& state) {
  const PassFixture& f = passFixture(sockets(state));
  for (auto _ : state) {
    BatchSummary summary = buildSummary(f.batch.records, 1000, 1718000000173456789ull);
    benchmark::DoNotOptimize(summary.stateCounts.data());
  }
  reportPerSocket(state, f.count);
}
BENCHMARK(Summary)->Apply(socketCounts);

void writeJson(benchmark::State& state, OutputStyle style, double budgetNs) {
  const PassFixture& f = passFixture(sockets(state));
  std::uint64_t bytes = 0;
  GatheringSink gathering;
  for (auto _ : state) {
    DiscardingSink sink;
    if (!writeCompact(gathering, f.batch, sink, style)) state.SkipWithError("writeBatch failed");
    bytes += sink.byteCount();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  reportPerSocket(state, f.count, budgetNs);
}

void JsonCompact(benchmark::State& state) {
  writeJson(state, OutputStyle::compact, 600.0);
}
BENCHMARK(JsonCompact)->Apply(socketCounts);

void JsonPretty(benchmark::State& state) {
  writeJson(state, OutputStyle::pretty, 0);
}
BENCHMARK(JsonPretty)->Apply(socketCounts);

// Every pure step of a pass in order, from the device bytes and the kern.file value to the
// compact text in a discarding sink: what a pass costs without the system calls.
void WholePass(benchmark::State& state) {
  const PassFixture& f = passFixture(sockets(state));
  std::uint64_t bytes = 0;
  GatheringSink gathering;
  for (auto _ : state) {
    auto decoded = decodeRecords(f.device(), f.count);
    std::vector<DecodedSocket>& socketsOfPass = decoded.value();
    attributeFromTable(buildOwnerTable(f.kernFile), socketsOfPass);
    Batch batch;
    batch.metadata = f.batch.metadata;
    batch.records = assembleRecords(socketsOfPass);
    batch.summary = buildSummary(batch.records, 1000, 1718000000173456789ull);
    DiscardingSink sink;
    if (!writeCompact(gathering, batch, sink)) state.SkipWithError("failed");
    bytes += sink.byteCount();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  reportPerSocket(state, f.count);
}
BENCHMARK(WholePass)->Apply(socketCounts);

#if !defined(__FreeBSD__)
// Off FreeBSD, kern.file is gathered from /proc: a cost per process of the host, not per
// socket of the pass, so it is measured on its own.
void ProcOpenFileTable(benchmark::State& state) {
  std::size_t size = 0;
  for (auto _ : state) {
    std::vector<std::byte> table = procOpenFileTable();
    size = table.size();
    benchmark::DoNotOptimize(table.data());
  }
  state.counters["entries"] = static_cast<double>(size / 128);
}
BENCHMARK(ProcOpenFileTable)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace wirelens::bench
