// Fuzz target: whole documents. The input fills a Batch: metadata and summary members of
// any value or none, enumeration numbers now and then without a name, and socket records
// with any of their 78 members set, repeated to documents of several chunks. The model is
// the document's member tables, written here: keys, order, kinds and presence. Expected: in
// both styles the text equals the reference spelling of the model byte for byte and reads
// back to it; a number without a name stops the document before that member with "Invalid
// variant N" after exactly the text before it; a sink that fails after any number of bytes
// leaves a prefix of the text, reports its own error and is not called again.
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
#include "fuzz_check.h"
#include "json/string_sink.h"
#include "limited_sink.h"
#include "reference/json_reader.h"
#include "reference/json_text.h"

namespace {

using namespace wirelens;
using fuzz::Json;

// ---- The model: the document's tables. ----

enum class Spelling { U32, I32, U64, I64, Bool, Text };

struct OptionalMember {
  const char* key;
  Spelling kind;
};

// The 71 optional members of a socket record, in document order.
constexpr std::array<OptionalMember, 71> kOptionalMembers = {{
    {"socketId", Spelling::U64},
    {"tcpFlags", Spelling::U32},
    {"sndCwnd", Spelling::U32},
    {"sndSsthresh", Spelling::U32},
    {"sndWnd", Spelling::U32},
    {"rcvWnd", Spelling::U32},
    {"maxseg", Spelling::U32},
    {"ccAlgo", Spelling::Text},
    {"tcpStack", Spelling::Text},
    {"rttUs", Spelling::U32},
    {"rttvarUs", Spelling::U32},
    {"rtoUs", Spelling::U32},
    {"rttMinUs", Spelling::U32},
    {"rttCurUs", Spelling::U32},
    {"rttUpdateCount", Spelling::U32},
    {"sndNxt", Spelling::U32},
    {"sndUna", Spelling::U32},
    {"sndMax", Spelling::U32},
    {"rcvNxt", Spelling::U32},
    {"rcvAdv", Spelling::U32},
    {"sndWscale", Spelling::U32},
    {"rcvWscale", Spelling::U32},
    {"rexmitPackets", Spelling::U32},
    {"oooPackets", Spelling::U32},
    {"zerowinProbes", Spelling::U32},
    {"dupacks", Spelling::U32},
    {"sackBlocks", Spelling::U32},
    {"dsackBytes", Spelling::U32},
    {"dsackPackets", Spelling::U32},
    {"rxtShift", Spelling::U32},
    {"txBytes", Spelling::U64},
    {"rxBytes", Spelling::U64},
    {"txPackets", Spelling::U64},
    {"rxPackets", Spelling::U64},
    {"retransmitBytes", Spelling::U64},
    {"oooBytes", Spelling::U64},
    {"retransmitPacketsTotal", Spelling::U64},
    {"timerRexmtMs", Spelling::U32},
    {"timerPersistMs", Spelling::U32},
    {"timerKeepMs", Spelling::U32},
    {"timer2mslMs", Spelling::U32},
    {"timerDelackMs", Spelling::U32},
    {"idleTimeMs", Spelling::U32},
    {"sndBufUsed", Spelling::U32},
    {"sndBufHiwat", Spelling::U32},
    {"rcvBufUsed", Spelling::U32},
    {"rcvBufHiwat", Spelling::U32},
    {"pid", Spelling::I32},
    {"effectivePid", Spelling::I32},
    {"uid", Spelling::U32},
    {"fd", Spelling::I32},
    {"command", Spelling::Text},
    {"ecnFlags", Spelling::U32},
    {"ecnCeDelivered", Spelling::U32},
    {"ecnCeReceived", Spelling::U32},
    {"negotiatedOptions", Spelling::U32},
    {"tfoStateMacos", Spelling::U32},
    {"tfoNegotiated", Spelling::Bool},
    {"inLossRecovery", Spelling::Bool},
    {"reorderingDetected", Spelling::Bool},
    {"tlpProbesSent", Spelling::U32},
    {"tlpBytesSent", Spelling::U64},
    {"encapsPort", Spelling::U32},
    {"inpGencnt", Spelling::U64},
    {"startTimeSecs", Spelling::U32},
    {"deltaRexmitPackets", Spelling::I32},
    {"deltaOooPackets", Spelling::I32},
    {"deltaZerowin", Spelling::I32},
    {"connectionAgeMs", Spelling::U64},
    {"deltaTxBytes", Spelling::I64},
    {"deltaRxBytes", Spelling::I64},
}};

constexpr std::array<const char*, 12> kTcpStateNames = {nullptr,
                                                        "TCP_STATE_CLOSED",
                                                        "TCP_STATE_LISTEN",
                                                        "TCP_STATE_SYN_SENT",
                                                        "TCP_STATE_SYN_RECEIVED",
                                                        "TCP_STATE_ESTABLISHED",
                                                        "TCP_STATE_CLOSE_WAIT",
                                                        "TCP_STATE_FIN_WAIT_1",
                                                        "TCP_STATE_CLOSING",
                                                        "TCP_STATE_LAST_ACK",
                                                        "TCP_STATE_FIN_WAIT_2",
                                                        "TCP_STATE_TIME_WAIT"};
constexpr std::array<const char*, 3> kIpVersionNames = {nullptr, "IP_VERSION_4", "IP_VERSION_6"};
constexpr std::array<const char*, 3> kPlatformNames = {nullptr, "PLATFORM_MACOS",
                                                       "PLATFORM_FREEBSD"};
constexpr std::array<const char*, 7> kDataSourceNames = {"DATA_SOURCE_UNKNOWN",
                                                         "DATA_SOURCE_MACOS_PCBLIST_N",
                                                         "DATA_SOURCE_MACOS_TCP_CONN_INFO",
                                                         "DATA_SOURCE_FREEBSD_PCBLIST",
                                                         "DATA_SOURCE_FREEBSD_TCP_INFO",
                                                         "DATA_SOURCE_FREEBSD_KLD",
                                                         "DATA_SOURCE_KERN_FILE"};

template <std::size_t N>
const char* nameOf(const std::array<const char*, N>& table, std::int32_t number) {
  return number >= 0 && static_cast<std::size_t>(number) < N
             ? table[static_cast<std::size_t>(number)]
             : nullptr;
}

// Builds the expected tree member by member; the first number without a name stops it.
// Every container still open then is the last child of the one around it.
struct Expectation {
  std::optional<std::int32_t> unnamed;  // the number that stopped the document
  std::size_t openContainers = 0;       // counted when stopped
  bool stopped() const { return unnamed.has_value(); }
};

// Appends `name` -> value of an enumeration member; false, and the expectation stopped,
// when the number has no name.
template <std::size_t N>
bool enumMember(Json& object, const char* key, const std::array<const char*, N>& table,
                std::int32_t number, Expectation& e) {
  if (number == 0 && nameOf(table, 0) == nullptr) return true;  // the default, left out
  const char* name = nameOf(table, number);
  if (name == nullptr) {
    e.unnamed = number;
    return false;
  }
  object.members.emplace_back(key, fuzz::jsonString(name));
  return true;
}

bool namesMember(Json& object, const char* key, const std::vector<std::int32_t>& numbers,
                 Expectation& e) {
  if (numbers.empty()) return true;
  Json array = fuzz::jsonArray();
  for (std::int32_t n : numbers) {
    const char* name = nameOf(kDataSourceNames, n);
    if (name == nullptr) {
      e.unnamed = n;
      return false;
    }
    array.items.push_back(fuzz::jsonString(name));
  }
  object.members.emplace_back(key, std::move(array));
  return true;
}

void plainU64(Json& o, const char* key, std::uint64_t v) {
  if (v != 0) o.members.emplace_back(key, fuzz::jsonString(std::to_string(v)));
}
void plainU32(Json& o, const char* key, std::uint32_t v) {
  if (v != 0) o.members.emplace_back(key, fuzz::jsonNumber(std::to_string(v)));
}
void plainText(Json& o, const char* key, const std::string& v) {
  if (!v.empty()) o.members.emplace_back(key, fuzz::jsonString(v));
}
void optionalU64(Json& o, const char* key, const std::optional<std::uint64_t>& v) {
  if (v) o.members.emplace_back(key, fuzz::jsonString(std::to_string(*v)));
}

// A record's optional member values, as the input gave them (integers by their bits).
using FieldValue64 = std::variant<std::monostate, std::uint64_t, bool, std::string>;
struct RecordModel {
  SocketRecord record;
  std::array<FieldValue64, 71> optional;
};

Json spelled(Spelling kind, const FieldValue64& v) {
  switch (kind) {
    case Spelling::U32:
      return fuzz::jsonNumber(
          std::to_string(static_cast<std::uint32_t>(std::get<std::uint64_t>(v))));
    case Spelling::I32:
      return fuzz::jsonNumber(
          std::to_string(static_cast<std::int32_t>(std::get<std::uint64_t>(v))));
    case Spelling::U64:
      return fuzz::jsonString(std::to_string(std::get<std::uint64_t>(v)));
    case Spelling::I64:
      return fuzz::jsonString(
          std::to_string(static_cast<std::int64_t>(std::get<std::uint64_t>(v))));
    case Spelling::Bool:
      return fuzz::jsonBool(std::get<bool>(v));
    case Spelling::Text:
      return fuzz::jsonString(std::get<std::string>(v));
  }
  return Json{};
}

std::string addressBytes(const Address& a) {
  return std::string(reinterpret_cast<const char*>(a.bytes.data()), a.size);
}

bool expectRecord(const RecordModel& m, Json& out, Expectation& e) {
  const SocketRecord& r = m.record;
  out = fuzz::jsonObject();
  if (r.localAddr.size != 0)
    out.members.emplace_back("localAddr",
                             fuzz::jsonString(fuzz::base64Text(addressBytes(r.localAddr))));
  if (r.remoteAddr.size != 0)
    out.members.emplace_back("remoteAddr",
                             fuzz::jsonString(fuzz::base64Text(addressBytes(r.remoteAddr))));
  plainU32(out, "localPort", r.localPort);
  plainU32(out, "remotePort", r.remotePort);
  if (!enumMember(out, "ipVersion", kIpVersionNames, r.ipVersion, e)) return false;
  for (std::size_t i = 0; i < kOptionalMembers.size(); ++i) {
    if (i == 1 && !enumMember(out, "state", kTcpStateNames, r.state, e)) return false;
    if (!std::holds_alternative<std::monostate>(m.optional[i])) {
      out.members.emplace_back(kOptionalMembers[i].key,
                               spelled(kOptionalMembers[i].kind, m.optional[i]));
    }
  }
  return namesMember(out, "sources", std::vector<std::int32_t>(r.sources.begin(), r.sources.end()),
                     e);
}

bool expectMetadata(const BatchMetadata& m, Json& out, Expectation& e) {
  out = fuzz::jsonObject();
  plainU64(out, "timestampNs", m.timestampNs);
  plainText(out, "hostname", m.hostname);
  if (!enumMember(out, "platform", kPlatformNames, m.platform, e)) return false;
  plainText(out, "osVersion", m.osVersion);
  plainU32(out, "intervalMs", m.intervalMs);
  plainText(out, "scheduleName", m.scheduleName);
  if (!namesMember(out, "dataSources", m.dataSources, e)) return false;
  plainU64(out, "collectionDurationNs", m.collectionDurationNs);
  optionalU64(out, "pcblistGeneration", m.pcblistGeneration);
  plainU64(out, "batchSequence", m.batchSequence);
  plainText(out, "toolVersion", m.toolVersion);
  return true;
}

bool expectSummary(const BatchSummary& s, Json& out, Expectation& e) {
  out = fuzz::jsonObject();
  plainU64(out, "timestampNs", s.timestampNs);
  plainU32(out, "intervalMs", s.intervalMs);
  plainU32(out, "totalSockets", s.totalSockets);
  if (!s.stateCounts.empty()) {
    Json counts = fuzz::jsonArray();
    for (const StateCount& c : s.stateCounts) {
      Json element = fuzz::jsonObject();
      const bool named = enumMember(element, "state", kTcpStateNames, c.state, e);
      if (named) plainU32(element, "count", c.count);
      counts.items.push_back(std::move(element));
      if (!named) {
        e.openContainers += 2;  // the count object and the list
        out.members.emplace_back("stateCounts", std::move(counts));
        return false;
      }
    }
    out.members.emplace_back("stateCounts", std::move(counts));
  }
  const std::pair<const char*, const std::optional<std::uint64_t>*> deltas[] = {
      {"deltaConnAttempts", &s.deltaConnAttempts},
      {"deltaAccepts", &s.deltaAccepts},
      {"deltaConnects", &s.deltaConnects},
      {"deltaDrops", &s.deltaDrops},
      {"deltaSndTotalPackets", &s.deltaSndTotalPackets},
      {"deltaSndBytes", &s.deltaSndBytes},
      {"deltaSndRexmitPackets", &s.deltaSndRexmitPackets},
      {"deltaSndRexmitBytes", &s.deltaSndRexmitBytes},
      {"deltaRcvTotalPackets", &s.deltaRcvTotalPackets},
      {"deltaRcvBytes", &s.deltaRcvBytes},
      {"deltaRcvDupPackets", &s.deltaRcvDupPackets},
      {"deltaRcvBadsum", &s.deltaRcvBadsum},
  };
  for (const auto& [key, value] : deltas) optionalU64(out, key, *value);
  if (s.retransmitRate)
    out.members.emplace_back("retransmitRate", fuzz::jsonDouble(*s.retransmitRate));
  if (s.duplicateRate)
    out.members.emplace_back("duplicateRate", fuzz::jsonDouble(*s.duplicateRate));
  return true;
}

Json expectBatch(const Batch& batch, const std::vector<RecordModel>& records, Expectation& e) {
  Json root = fuzz::jsonObject();
  e.openContainers = 1;
  if (batch.metadata) {
    Json metadata;
    const bool done = expectMetadata(*batch.metadata, metadata, e);
    root.members.emplace_back("metadata", std::move(metadata));
    if (!done) {
      e.openContainers += 1;
      return root;
    }
  }
  if (!records.empty()) {
    Json array = fuzz::jsonArray();
    for (const RecordModel& m : records) {
      Json record;
      const bool done = expectRecord(m, record, e);
      array.items.push_back(std::move(record));
      if (!done) {
        e.openContainers += 2;
        root.members.emplace_back("records", std::move(array));
        return root;
      }
    }
    root.members.emplace_back("records", std::move(array));
  }
  if (batch.summary) {
    Json summary;
    const bool done = expectSummary(*batch.summary, summary, e);
    root.members.emplace_back("summary", std::move(summary));
    if (!done) e.openContainers += 1;
  }
  return root;
}

// The text of a stopped document: the reference text of what was written, without the
// closing of the containers still open (the outermost closes last, so it goes first).
std::string stoppedText(const Json& tree, std::size_t open, bool pretty) {
  std::string text = fuzz::jsonText(tree, pretty);
  const Json* container = &tree;
  for (std::size_t level = 0; level < open; ++level) {
    text.pop_back();  // the closing brace or bracket
    const bool hadMembers = !container->members.empty() || !container->items.empty();
    if (pretty && hadMembers) {
      while (!text.empty() && text.back() == ' ') text.pop_back();
      text.pop_back();  // the line break before it
    }
    if (level + 1 < open) {
      container = !container->members.empty() ? &container->members.back().second
                                              : &container->items.back();
    }
  }
  return text;
}

// ---- The input: a Batch and the model of its records. ----

std::int32_t enumNumber(FuzzedDataProvider& in, std::int32_t named) {
  // Mostly a number with a name, now and then any number.
  if (in.ConsumeIntegralInRange(0, 15) == 0) return in.ConsumeIntegral<std::int32_t>();
  return in.ConsumeIntegralInRange(0, named);
}

template <std::size_t I>
void fillOptional(FuzzedDataProvider& in, RecordModel& m) {
  constexpr auto field = static_cast<RecordField>(I);
  if (in.ConsumeIntegralInRange(0, 2) != 0) return;
  using T = FieldValue<field>;
  if constexpr (std::is_same_v<T, std::string>) {
    std::string v = in.ConsumeRandomLengthString(24);
    m.optional[I] = v;
    m.record.template set<field>(std::move(v));
  } else if constexpr (std::is_same_v<T, bool>) {
    const bool v = in.ConsumeBool();
    m.optional[I] = v;
    m.record.template set<field>(v);
  } else {
    const T v = in.ConsumeIntegral<T>();
    m.optional[I] = static_cast<std::uint64_t>(v);
    m.record.template set<field>(v);
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
  fillOptionals(in, m, std::make_index_sequence<kRecordFieldCount>());
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
    const std::string before = stoppedText(model, e.openContainers, pretty);
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

  if (text.empty()) return;
  const std::size_t limit = in.ConsumeIntegralInRange<std::size_t>(0, text.size() - 1);
  testing::LimitedSink limited(limit, EPIPE);
  const Result<Done, SerializerError> cut = writeDocument(batch, style, limited);
  FUZZ_CHECK(!cut.ok(), "a document of %zu bytes fit in %zu", text.size(), limit);
  FUZZ_CHECK(limited.taken().size() <= limit &&
                 text.compare(0, limited.taken().size(), limited.taken()) == 0,
             "a sink failing after %zu bytes holds no prefix of the text", limit);
  FUZZ_CHECK(limited.callsAfterFailure() == 0, "the writer went on after the sink failed");
  const auto* io = std::get_if<IoError>(&cut.error().kind);
  // A document that stops at an unnamed number before the sink's limit reports that.
  FUZZ_CHECK((io != nullptr && *io == IoError::os(EPIPE)) ||
                 (e.stopped() && std::holds_alternative<std::string>(cut.error().kind)),
             "the sink's failure is not the writer's error");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Batch batch;
  if (in.ConsumeBool()) batch.metadata = makeMetadata(in);
  std::vector<RecordModel> records;
  for (int n = in.ConsumeIntegralInRange(0, 8); n > 0; --n) records.push_back(makeRecord(in));
  // Copies make documents of several 64 KiB chunks from a short input.
  const int copies = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(1, 200) : 1;
  std::vector<RecordModel> all;
  for (int c = 0; c < copies; ++c) all.insert(all.end(), records.begin(), records.end());
  for (const RecordModel& m : all) batch.records.push_back(m.record);
  if (in.ConsumeBool()) batch.summary = makeSummary(in);

  Expectation e;
  const Json model = expectBatch(batch, all, e);
  checkStyle(batch, model, e, OutputStyle::compact, in);
  checkStyle(batch, model, e, OutputStyle::pretty, in);
  return 0;
}
