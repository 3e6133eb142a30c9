// The two anchors the compact writer is judged against, measured in the same run on the same
// records: a general-purpose JSON writer (RapidJSON's Writer over a StringBuffer) producing
// exactly our text, with the same keys, order and presence rules, 64-bit numbers as strings,
// enumerations by name and addresses in base64; and memcpy of the bytes our writer produced,
// the physical limit of any writer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "pass_fixture.h"

#if defined(WIRELENS_BENCH_RAPIDJSON)
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>
#include <chrono>
#include <string_view>
#include <utility>

#include "document/enumerations.h"
#include "gathering_sink.h"
#include "memory_sinks.h"
#endif

namespace wirelens::bench {
namespace {

void Memcpy(benchmark::State& state) {
  const PassFixture& f = passFixture(static_cast<std::size_t>(state.range(0)));
  // Touched once before timing, so that the copy measures memory, not fresh pages.
  std::string target(f.compact.size(), '\0');
  for (auto _ : state) {
    std::memcpy(target.data(), f.compact.data(), f.compact.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.compact.size()));
  reportPerSocket(state, f.count);
}
BENCHMARK(Memcpy)->Apply(socketCounts);

#if defined(WIRELENS_BENCH_RAPIDJSON)

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void key(Writer& w, std::string_view k) {
  w.Key(k.data(), static_cast<rapidjson::SizeType>(k.size()));
}
void text(Writer& w, std::string_view t) {
  w.String(t.data(), static_cast<rapidjson::SizeType>(t.size()));
}
template <typename Integer>
void integerText(Writer& w, Integer v) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  w.String(digits, static_cast<rapidjson::SizeType>(end - digits));
}
void name(Writer& w, const NameTable& table, std::int32_t number) {
  text(w, *table.name(number));
}
void base64(Writer& w, const Address& a) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  char out[24];
  std::size_t o = 0;
  for (std::size_t i = 0; i < a.size; i += 3) {
    const std::size_t rest = a.size - i;
    const std::uint32_t group = std::uint32_t{a.bytes[i]} << 16 |
                                (rest > 1 ? std::uint32_t{a.bytes[i + 1]} << 8 : 0) |
                                (rest > 2 ? std::uint32_t{a.bytes[i + 2]} : 0);
    out[o++] = kAlphabet[group >> 18];
    out[o++] = kAlphabet[(group >> 12) & 0x3f];
    out[o++] = rest > 1 ? kAlphabet[(group >> 6) & 0x3f] : '=';
    out[o++] = rest > 2 ? kAlphabet[group & 0x3f] : '=';
  }
  w.String(out, static_cast<rapidjson::SizeType>(o));
}

// Each record member by its table entry, as a general-purpose writer is driven by a schema.
template <std::size_t I>
void member(Writer& w, const SocketRecord& r) {
  if (!isWritten<SocketRecord, I>(r)) return;
  using M = MemberAt<SocketRecord, I>;
  key(w, memberAt<SocketRecord, I>().key.name());
  const auto& v = valueOf<SocketRecord, I>(r);
  if constexpr (M::kKind == Kind::u32) w.Uint(v);
  if constexpr (M::kKind == Kind::i32) w.Int(v);
  if constexpr (M::kKind == Kind::u64 || M::kKind == Kind::i64) integerText(w, v);
  if constexpr (M::kKind == Kind::boolean) w.Bool(v);
  if constexpr (M::kKind == Kind::string) text(w, v);
  if constexpr (M::kKind == Kind::bytes) base64(w, v);
  if constexpr (M::kKind == Kind::enumeration) name(w, EnumerationOf<typename M::Type>::kNames, v);
  if constexpr (M::kKind == Kind::enumerationList) {
    w.StartArray();
    for (std::int32_t code : v) name(w, EnumerationOf<typename M::Type>::kNames, code);
    w.EndArray();
  }
}

template <std::size_t... I>
void members(Writer& w, const SocketRecord& r, std::index_sequence<I...>) {
  (member<I>(w, r), ...);
}

void record(Writer& w, const SocketRecord& r) {
  w.StartObject();
  members(w, r, std::make_index_sequence<kMemberCount<SocketRecord>>{});
  w.EndObject();
}

// The metadata and summary members this collector fills.
void batch(Writer& w, const Batch& b) {
  const BatchMetadata& m = *b.metadata;
  w.StartObject();
  key(w, "metadata");
  w.StartObject();
  key(w, "timestampNs"), integerText(w, m.timestampNs);
  key(w, "hostname"), text(w, m.hostname);
  key(w, "platform"), name(w, kPlatformNames, m.platform);
  key(w, "osVersion"), text(w, m.osVersion);
  key(w, "intervalMs"), w.Uint(m.intervalMs);
  key(w, "dataSources");
  w.StartArray();
  for (std::int32_t code : m.dataSources) name(w, kDataSourceNames, code);
  w.EndArray();
  key(w, "collectionDurationNs"), integerText(w, m.collectionDurationNs);
  key(w, "pcblistGeneration"), integerText(w, *m.pcblistGeneration);
  key(w, "batchSequence"), integerText(w, m.batchSequence);
  key(w, "toolVersion"), text(w, m.toolVersion);
  w.EndObject();
  key(w, "records");
  w.StartArray();
  for (const SocketRecord& r : b.records) record(w, r);
  w.EndArray();
  const BatchSummary& s = *b.summary;
  key(w, "summary");
  w.StartObject();
  key(w, "timestampNs"), integerText(w, s.timestampNs);
  key(w, "intervalMs"), w.Uint(s.intervalMs);
  key(w, "totalSockets"), w.Uint(s.totalSockets);
  key(w, "stateCounts");
  w.StartArray();
  for (const StateCount& c : s.stateCounts) {
    w.StartObject();
    if (c.state != 0) key(w, "state"), name(w, kTcpStateNames, c.state);
    key(w, "count"), w.Uint(c.count);
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  w.EndObject();
}

// The anchor counts only if it spells exactly what we do.
bool sameText(const PassFixture& f) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  batch(w, f.batch);
  return std::string_view(buffer.GetString(), buffer.GetSize()) == f.compact;
}

// As a program would use it: a new StringBuffer for each document, grown as it goes.
void RapidJsonWriter(benchmark::State& state) {
  const PassFixture& f = passFixture(static_cast<std::size_t>(state.range(0)));
  if (!sameText(f)) return state.SkipWithError("RapidJSON text differs from ours");
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    batch(w, f.batch);
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.compact.size()));
  reportPerSocket(state, f.count);
}
BENCHMARK(RapidJsonWriter)->Apply(socketCounts);

// Its best case: one StringBuffer cleared between documents, so its storage is reused.
void RapidJsonWriterReused(benchmark::State& state) {
  const PassFixture& f = passFixture(static_cast<std::size_t>(state.range(0)));
  if (!sameText(f)) return state.SkipWithError("RapidJSON text differs from ours");
  rapidjson::StringBuffer buffer;
  for (auto _ : state) {
    buffer.Clear();
    Writer w(buffer);
    batch(w, f.batch);
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.compact.size()));
  reportPerSocket(state, f.count);
}
BENCHMARK(RapidJsonWriterReused)->Apply(socketCounts);

// The ratio itself, from the two writers taking turns within each iteration: a shared
// machine's speed drifts over a run, and measured one after the other the two writers could
// meet different conditions.
void CompactVsRapidJson(benchmark::State& state) {
  const PassFixture& f = passFixture(static_cast<std::size_t>(state.range(0)));
  if (!sameText(f)) return state.SkipWithError("RapidJSON text differs from ours");
  using Clock = std::chrono::steady_clock;
  Clock::duration ours{}, fresh{}, reused{};
  GatheringSink gathering;
  rapidjson::StringBuffer kept;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    {
      DiscardingSink sink;
      if (!writeCompact(gathering, f.batch, sink)) state.SkipWithError("failed");
    }
    const auto t1 = Clock::now();
    {
      rapidjson::StringBuffer buffer;
      Writer w(buffer);
      batch(w, f.batch);
      benchmark::DoNotOptimize(buffer.GetString());
    }
    const auto t2 = Clock::now();
    kept.Clear();
    Writer w(kept);
    batch(w, f.batch);
    benchmark::DoNotOptimize(kept.GetString());
    const auto t3 = Clock::now();
    ours += t1 - t0;
    fresh += t2 - t1;
    reused += t3 - t2;
  }
  const double n = static_cast<double>(state.iterations() * f.count);
  const auto ns = [n](Clock::duration d) {
    return std::chrono::duration<double, std::nano>(d).count() / n;
  };
  state.counters["ours_ns"] = ns(ours);
  state.counters["rapidjson_ns"] = ns(fresh);
  state.counters["rapidjson_reused_ns"] = ns(reused);
  state.counters["ratio"] = ns(fresh) / ns(ours);
  state.counters["ratio_reused"] = ns(reused) / ns(ours);
}
BENCHMARK(CompactVsRapidJson)->Apply(socketCounts);

#endif

}  // namespace
}  // namespace wirelens::bench
