// Fuzz target: whole documents. The input fills a Batch: metadata and summary members of
// any value or none, enumeration numbers now and then without a name, and socket records
// with any of their 78 members set, repeated to documents of up to 1,600 records. The model
// is the document's member tables, written here: keys, order, kinds and presence. Expected: in
// both styles the text equals the reference spelling of the model byte for byte and reads
// back to it; a number without a name stops the document before that member with "Invalid
// variant N" after exactly the text before it; each record alone, in the compact style, gives
// its model's text by both record paths (the one-piece layout and member by member); a sink
// that fails after any number of bytes, under a document or a record by either path, leaves
// a prefix of the text, is not called again, and its error is the writer's status().
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "document/batch_writer.h"
#include "document/socket_record_writer.h"
#include "fuzz_check.h"
#include "limited_sink.h"
#include "memory_sinks.h"
#include "reference/document_model.h"
#include "reference/json_reader.h"
#include "reference/json_text.h"

namespace {

using namespace wirelens;
using fuzz::Expectation;
using fuzz::Json;
using fuzz::RecordModel;

// ---- The input: a Batch and the model of its records. ----

std::int32_t enumNumber(FuzzedDataProvider& in, std::int32_t named) {
  // Mostly a number with a name, now and then any number.
  if (in.ConsumeIntegralInRange(0, 15) == 0) return in.ConsumeIntegral<std::int32_t>();
  return in.ConsumeIntegralInRange(0, named);
}

// The table index of each optional member, in document order: the model lists the optional
// members by their place among themselves, the record's table among all 78 members.
template <std::size_t... I>
constexpr auto slotIndices(std::index_sequence<I...>) {
  constexpr std::array<bool, sizeof...(I)> inSlot = {MemberAt<SocketRecord, I>::kHeldInSlot...};
  std::array<std::size_t, std::tuple_size_v<decltype(RecordModel::optional)>> indices{};
  std::size_t next = 0;
  for (std::size_t i = 0; i < inSlot.size(); ++i) {
    if (inSlot[i] && next < indices.size()) indices[next++] = i;
  }
  return std::pair{indices, next};
}
constexpr auto kSlots = slotIndices(std::make_index_sequence<kMemberCount<SocketRecord>>{});
static_assert(kSlots.second == kSlots.first.size(), "the model's optional members are the slots");

template <std::size_t I>
void fillOptional(FuzzedDataProvider& in, RecordModel& m) {
  constexpr std::size_t kIndex = kSlots.first[I];
  if (in.ConsumeIntegralInRange(0, 2) != 0) return;
  using T = typename HeldAs<MemberAt<SocketRecord, kIndex>::kKind>::type;
  if constexpr (std::is_same_v<T, std::string>) {
    std::string v = in.ConsumeRandomLengthString(24);
    m.optional[I] = v;
    m.record.setSlot<kIndex>(std::move(v));
  } else if constexpr (std::is_same_v<T, bool>) {
    const bool v = in.ConsumeBool();
    m.optional[I] = v;
    m.record.setSlot<kIndex>(v);
  } else {
    const T v = in.ConsumeIntegral<T>();
    m.optional[I] = static_cast<std::uint64_t>(v);
    m.record.setSlot<kIndex>(v);
  }
}

template <std::size_t... I>
void fillOptionals(FuzzedDataProvider& in, RecordModel& m, std::index_sequence<I...>) {
  (fillOptional<I>(in, m), ...);
}

Address address(FuzzedDataProvider& in) {
  Address a;
  const int kind = in.ConsumeIntegralInRange(0, 2);
  a.size = kind == 0 ? 0 : kind == 1 ? 4 : 16;
  for (std::size_t i = 0; i < a.size; ++i) a.bytes[i] = in.ConsumeIntegral<std::uint8_t>();
  return a;
}

RecordModel makeRecord(FuzzedDataProvider& in) {
  RecordModel m;
  SocketRecord& r = m.record;
  r.localAddr = address(in);
  r.remoteAddr = address(in);
  r.localPort = in.ConsumeBool() ? 0 : in.ConsumeIntegral<std::uint32_t>();
  r.remotePort = in.ConsumeBool() ? 0 : in.ConsumeIntegral<std::uint32_t>();
  r.ipVersion = enumNumber(in, 2);
  r.state = enumNumber(in, 11);
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) r.sources.push_back(enumNumber(in, 6));
  fillOptionals(in, m, std::make_index_sequence<kSlots.first.size()>());
  return m;
}

std::optional<std::uint64_t> maybeU64(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return std::nullopt;
  return in.ConsumeIntegral<std::uint64_t>();
}

std::uint64_t plainValue(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? 0 : in.ConsumeIntegral<std::uint64_t>();
}

BatchMetadata makeMetadata(FuzzedDataProvider& in) {
  BatchMetadata m;
  m.timestampNs = plainValue(in);
  m.hostname = in.ConsumeRandomLengthString(40);
  m.platform = enumNumber(in, 2);
  m.osVersion = in.ConsumeRandomLengthString(40);
  m.intervalMs = static_cast<std::uint32_t>(plainValue(in));
  m.scheduleName = in.ConsumeRandomLengthString(10);
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n)
    m.dataSources.push_back(enumNumber(in, 6));
  m.collectionDurationNs = plainValue(in);
  m.pcblistGeneration = maybeU64(in);
  m.batchSequence = plainValue(in);
  m.toolVersion = in.ConsumeRandomLengthString(30);
  return m;
}

BatchSummary makeSummary(FuzzedDataProvider& in) {
  BatchSummary s;
  s.timestampNs = plainValue(in);
  s.intervalMs = static_cast<std::uint32_t>(plainValue(in));
  s.totalSockets = static_cast<std::uint32_t>(plainValue(in));
  for (int n = in.ConsumeIntegralInRange(0, 12); n > 0; --n) {
    s.stateCounts.push_back({enumNumber(in, 11), static_cast<std::uint32_t>(plainValue(in))});
  }
  for (auto* delta :
       {&s.deltaConnAttempts, &s.deltaAccepts, &s.deltaConnects, &s.deltaDrops,
        &s.deltaSndTotalPackets, &s.deltaSndBytes, &s.deltaSndRexmitPackets, &s.deltaSndRexmitBytes,
        &s.deltaRcvTotalPackets, &s.deltaRcvBytes, &s.deltaRcvDupPackets, &s.deltaRcvBadsum}) {
    *delta = maybeU64(in);
  }
  if (in.ConsumeBool())
    s.retransmitRate = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
  if (in.ConsumeBool())
    s.duplicateRate = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
  return s;
}

// ---- The writer's interface: the only part that calls the document writer. ----

Result<Done, SerializerError> writeDocument(const Batch& batch, OutputStyle style, ByteSink& sink) {
  return writeBatch(batch, style, sink);
}

// One record alone in the compact style, by either path: the one-piece layout (taken by
// writeSocketRecord whenever the record's names all exist and it fits one value) or member
// by member.
enum class RecordPath { onePiece, memberByMember };
JsonStatus writeRecord(const SocketRecord& record, RecordPath path, ByteSink& sink) {
  JsonWriter writer(sink, OutputStyle::compact);
  if (path == RecordPath::onePiece) {
    writeSocketRecord(writer, record);
  } else {
    writeSocketRecordMembers(writer, record);
  }
  return writer.status();
}

// ---- End of the writer's interface. ----

// A sink failing after any number of bytes: the writer stops at once with the sink's own
// error, and what the sink took is a prefix of the full text.
template <typename Write>
void checkCut(const std::string& text, bool mayStopFirst, FuzzedDataProvider& in, Write write,
              const char* what) {
  if (text.empty()) return;
  const std::size_t limit = in.ConsumeIntegralInRange<std::size_t>(0, text.size() - 1);
  testing::LimitedSink limited(limit, EPIPE);
  const Result<Done, SerializerError> cut = write(limited);
  FUZZ_CHECK(!cut.ok(), "%s: a text of %zu bytes fit in %zu", what, text.size(), limit);
  FUZZ_CHECK(limited.taken().size() <= limit &&
                 text.compare(0, limited.taken().size(), limited.taken()) == 0,
             "%s: a sink failing after %zu bytes holds no prefix of the text", what, limit);
  FUZZ_CHECK(limited.callsAfterFailure() == 0, "%s: the writer went on after the sink failed",
             what);
  const auto* io = std::get_if<IoError>(&cut.error().kind);
  // A document that stops at an unnamed number before the sink's limit reports that.
  FUZZ_CHECK((io != nullptr && *io == IoError::os(EPIPE)) ||
                 (mayStopFirst && std::holds_alternative<std::string>(cut.error().kind)),
             "%s: the sink's failure is not the writer's error", what);
}

// Both compact record paths give the model's text of a record whose names all exist, and
// both stop cleanly on a failing sink.
void checkRecordPaths(const RecordModel& m, const Json& model, FuzzedDataProvider& in) {
  const std::string want = fuzz::jsonText(model, false);
  for (RecordPath path : {RecordPath::onePiece, RecordPath::memberByMember}) {
    const char* what = path == RecordPath::onePiece ? "one-piece record" : "record by members";
    StringSink sink;
    const JsonStatus written = writeRecord(m.record, path, sink);
    FUZZ_CHECK(written.ok() && sink.view() == want, "%s: text differs from the model's", what);
    checkCut(
        want, false, in, [&](ByteSink& s) { return writeRecord(m.record, path, s); }, what);
  }
}

void checkStyle(const Batch& batch, const Json& model, const Expectation& e, OutputStyle style,
                FuzzedDataProvider& in) {
  const bool pretty = style == OutputStyle::pretty;
  StringSink sink;
  const Result<Done, SerializerError> written = writeDocument(batch, style, sink);
  const std::string text = sink.text();
  if (e.stopped()) {
    FUZZ_CHECK(!written.ok(), "a document with the unnamed number %d was written", *e.unnamed);
    const auto* message = std::get_if<std::string>(&written.error().kind);
    const std::string want = "Invalid variant " + std::to_string(*e.unnamed);
    FUZZ_CHECK(message != nullptr && *message == want, "the failure is not \"%s\"", want.c_str());
    const std::string before = fuzz::stoppedText(model, e.openContainers, pretty);
    FUZZ_CHECK(text == before, "%s: %zu bytes before the failure, expected %zu",
               pretty ? "pretty" : "compact", text.size(), before.size());
  } else {
    FUZZ_CHECK(written.ok(), "a valid document failed");
    const std::string want = fuzz::jsonText(model, pretty);
    FUZZ_CHECK(
        text == want, "%s text differs from the model's at byte %zu of %zu",
        pretty ? "pretty" : "compact",
        static_cast<std::size_t>(
            std::mismatch(text.begin(), text.end(), want.begin(), want.end()).first - text.begin()),
        want.size());
    const std::optional<Json> read = fuzz::readJson(text);
    FUZZ_CHECK(read.has_value() && *read == model, "the text does not read back to the model");
  }

  checkCut(
      text, e.stopped(), in, [&](ByteSink& s) { return writeDocument(batch, style, s); },
      pretty ? "pretty document" : "compact document");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Batch batch;
  if (in.ConsumeBool()) batch.metadata = makeMetadata(in);
  std::vector<RecordModel> records;
  for (int n = in.ConsumeIntegralInRange(0, 8); n > 0; --n) records.push_back(makeRecord(in));
  // Copies make long documents from a short input.
  const int copies = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(1, 200) : 1;
  std::vector<RecordModel> all;
  for (int c = 0; c < copies; ++c) all.insert(all.end(), records.begin(), records.end());
  for (const RecordModel& m : all) batch.records.push_back(m.record);
  if (in.ConsumeBool()) batch.summary = makeSummary(in);

  Expectation e;
  const Json model = fuzz::expectBatch(batch, all, e);
  checkStyle(batch, model, e, OutputStyle::compact, in);
  checkStyle(batch, model, e, OutputStyle::pretty, in);
  if (!e.stopped() && !records.empty()) {
    const std::vector<Json>& written = model.find("records")->items;
    for (std::size_t i = 0; i < records.size(); ++i) checkRecordPaths(records[i], written[i], in);
  }
  return 0;
}
