#include "reference/document_model.h"

#include "reference/json_text.h"

namespace wirelens::fuzz {
namespace {

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
  object.members.emplace_back(key, jsonString(name));
  return true;
}

bool namesMember(Json& object, const char* key, const std::vector<std::int32_t>& numbers,
                 Expectation& e) {
  if (numbers.empty()) return true;
  Json array = jsonArray();
  for (std::int32_t n : numbers) {
    const char* name = nameOf(kDataSourceNames, n);
    if (name == nullptr) {
      e.unnamed = n;
      return false;
    }
    array.items.push_back(jsonString(name));
  }
  object.members.emplace_back(key, std::move(array));
  return true;
}

void plainU64(Json& o, const char* key, std::uint64_t v) {
  if (v != 0) o.members.emplace_back(key, jsonString(std::to_string(v)));
}
void plainU32(Json& o, const char* key, std::uint32_t v) {
  if (v != 0) o.members.emplace_back(key, jsonNumber(std::to_string(v)));
}
void plainText(Json& o, const char* key, const std::string& v) {
  if (!v.empty()) o.members.emplace_back(key, jsonString(v));
}
void optionalU64(Json& o, const char* key, const std::optional<std::uint64_t>& v) {
  if (v) o.members.emplace_back(key, jsonString(std::to_string(*v)));
}

Json spelled(Spelling kind, const FieldValue64& v) {
  switch (kind) {
    case Spelling::U32:
      return jsonNumber(std::to_string(static_cast<std::uint32_t>(std::get<std::uint64_t>(v))));
    case Spelling::I32:
      return jsonNumber(std::to_string(static_cast<std::int32_t>(std::get<std::uint64_t>(v))));
    case Spelling::U64:
      return jsonString(std::to_string(std::get<std::uint64_t>(v)));
    case Spelling::I64:
      return jsonString(std::to_string(static_cast<std::int64_t>(std::get<std::uint64_t>(v))));
    case Spelling::Bool:
      return jsonBool(std::get<bool>(v));
    case Spelling::Text:
      return jsonString(std::get<std::string>(v));
  }
  return Json{};
}

std::string addressBytes(const Address& a) {
  return std::string(reinterpret_cast<const char*>(a.bytes.data()), a.size);
}

bool expectRecord(const RecordModel& m, Json& out, Expectation& e) {
  const SocketRecord& r = m.record;
  out = jsonObject();
  if (r.localAddr.size != 0)
    out.members.emplace_back("localAddr", jsonString(base64Text(addressBytes(r.localAddr))));
  if (r.remoteAddr.size != 0)
    out.members.emplace_back("remoteAddr", jsonString(base64Text(addressBytes(r.remoteAddr))));
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
  out = jsonObject();
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
  out = jsonObject();
  plainU64(out, "timestampNs", s.timestampNs);
  plainU32(out, "intervalMs", s.intervalMs);
  plainU32(out, "totalSockets", s.totalSockets);
  if (!s.stateCounts.empty()) {
    Json counts = jsonArray();
    for (const StateCount& c : s.stateCounts) {
      Json element = jsonObject();
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
  if (s.retransmitRate) out.members.emplace_back("retransmitRate", jsonDouble(*s.retransmitRate));
  if (s.duplicateRate) out.members.emplace_back("duplicateRate", jsonDouble(*s.duplicateRate));
  return true;
}

}  // namespace

Json expectBatch(const Batch& batch, const std::vector<RecordModel>& records, Expectation& e) {
  Json root = jsonObject();
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
    Json array = jsonArray();
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
  std::string text = jsonText(tree, pretty);
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

}  // namespace wirelens::fuzz
