#include "document/socket_record_writer.h"

#include <array>
#include <cstring>
#include <string_view>

#include "document/enumerations.h"
#include "document/member_writer.h"
#include "json/base64.h"
#include "json/number_format.h"
#include "json/string_escape.h"

namespace wirelens {
namespace {

using F = RecordField;

// Keys live in read-only data: built at each call, they would be stored byte-wise on the
// stack and read back whole by the writer, which costs more than the write itself.
constexpr JsonKey kLocalAddrKey{"localAddr"};
constexpr JsonKey kRemoteAddrKey{"remoteAddr"};
constexpr JsonKey kLocalPortKey{"localPort"};
constexpr JsonKey kRemotePortKey{"remotePort"};
constexpr JsonKey kIpVersionKey{"ipVersion"};
constexpr JsonKey kSocketIdKey{"socketId"};
constexpr JsonKey kStateKey{"state"};
constexpr JsonKey kTcpFlagsKey{"tcpFlags"};
constexpr JsonKey kSndCwndKey{"sndCwnd"};
constexpr JsonKey kSndSsthreshKey{"sndSsthresh"};
constexpr JsonKey kSndWndKey{"sndWnd"};
constexpr JsonKey kRcvWndKey{"rcvWnd"};
constexpr JsonKey kMaxsegKey{"maxseg"};
constexpr JsonKey kCcAlgoKey{"ccAlgo"};
constexpr JsonKey kTcpStackKey{"tcpStack"};
constexpr JsonKey kRttUsKey{"rttUs"};
constexpr JsonKey kRttvarUsKey{"rttvarUs"};
constexpr JsonKey kRtoUsKey{"rtoUs"};
constexpr JsonKey kRttMinUsKey{"rttMinUs"};
constexpr JsonKey kRttCurUsKey{"rttCurUs"};
constexpr JsonKey kRttUpdateCountKey{"rttUpdateCount"};
constexpr JsonKey kSndNxtKey{"sndNxt"};
constexpr JsonKey kSndUnaKey{"sndUna"};
constexpr JsonKey kSndMaxKey{"sndMax"};
constexpr JsonKey kRcvNxtKey{"rcvNxt"};
constexpr JsonKey kRcvAdvKey{"rcvAdv"};
constexpr JsonKey kSndWscaleKey{"sndWscale"};
constexpr JsonKey kRcvWscaleKey{"rcvWscale"};
constexpr JsonKey kRexmitPacketsKey{"rexmitPackets"};
constexpr JsonKey kOooPacketsKey{"oooPackets"};
constexpr JsonKey kZerowinProbesKey{"zerowinProbes"};
constexpr JsonKey kDupacksKey{"dupacks"};
constexpr JsonKey kSackBlocksKey{"sackBlocks"};
constexpr JsonKey kDsackBytesKey{"dsackBytes"};
constexpr JsonKey kDsackPacketsKey{"dsackPackets"};
constexpr JsonKey kRxtShiftKey{"rxtShift"};
constexpr JsonKey kTxBytesKey{"txBytes"};
constexpr JsonKey kRxBytesKey{"rxBytes"};
constexpr JsonKey kTxPacketsKey{"txPackets"};
constexpr JsonKey kRxPacketsKey{"rxPackets"};
constexpr JsonKey kRetransmitBytesKey{"retransmitBytes"};
constexpr JsonKey kOooBytesKey{"oooBytes"};
constexpr JsonKey kRetransmitPacketsTotalKey{"retransmitPacketsTotal"};
constexpr JsonKey kTimerRexmtMsKey{"timerRexmtMs"};
constexpr JsonKey kTimerPersistMsKey{"timerPersistMs"};
constexpr JsonKey kTimerKeepMsKey{"timerKeepMs"};
constexpr JsonKey kTimer2mslMsKey{"timer2mslMs"};
constexpr JsonKey kTimerDelackMsKey{"timerDelackMs"};
constexpr JsonKey kIdleTimeMsKey{"idleTimeMs"};
constexpr JsonKey kSndBufUsedKey{"sndBufUsed"};
constexpr JsonKey kSndBufHiwatKey{"sndBufHiwat"};
constexpr JsonKey kRcvBufUsedKey{"rcvBufUsed"};
constexpr JsonKey kRcvBufHiwatKey{"rcvBufHiwat"};
constexpr JsonKey kPidKey{"pid"};
constexpr JsonKey kEffectivePidKey{"effectivePid"};
constexpr JsonKey kUidKey{"uid"};
constexpr JsonKey kFdKey{"fd"};
constexpr JsonKey kCommandKey{"command"};
constexpr JsonKey kEcnFlagsKey{"ecnFlags"};
constexpr JsonKey kEcnCeDeliveredKey{"ecnCeDelivered"};
constexpr JsonKey kEcnCeReceivedKey{"ecnCeReceived"};
constexpr JsonKey kNegotiatedOptionsKey{"negotiatedOptions"};
constexpr JsonKey kTfoStateMacosKey{"tfoStateMacos"};
constexpr JsonKey kTfoNegotiatedKey{"tfoNegotiated"};
constexpr JsonKey kInLossRecoveryKey{"inLossRecovery"};
constexpr JsonKey kReorderingDetectedKey{"reorderingDetected"};
constexpr JsonKey kTlpProbesSentKey{"tlpProbesSent"};
constexpr JsonKey kTlpBytesSentKey{"tlpBytesSent"};
constexpr JsonKey kEncapsPortKey{"encapsPort"};
constexpr JsonKey kInpGencntKey{"inpGencnt"};
constexpr JsonKey kStartTimeSecsKey{"startTimeSecs"};
constexpr JsonKey kDeltaRexmitPacketsKey{"deltaRexmitPackets"};
constexpr JsonKey kDeltaOooPacketsKey{"deltaOooPackets"};
constexpr JsonKey kDeltaZerowinKey{"deltaZerowin"};
constexpr JsonKey kConnectionAgeMsKey{"connectionAgeMs"};
constexpr JsonKey kDeltaTxBytesKey{"deltaTxBytes"};
constexpr JsonKey kDeltaRxBytesKey{"deltaRxBytes"};
constexpr JsonKey kSourcesKey{"sources"};

// An optional member, written when it holds a value, in the spelling of its kind.
template <RecordField Field>
void optional(MemberWriter& out, const SocketRecord& record, const JsonKey& key) {
  if (!record.has(Field)) return;
  const auto& v = record.value<Field>();
  out.member([&](JsonWriter& w) {
    constexpr ValueKind kKind = kindOf(Field);
    if constexpr (kKind == ValueKind::u32) return w.memberUint32(key, v);
    if constexpr (kKind == ValueKind::i32) return w.memberInt32(key, v);
    if constexpr (kKind == ValueKind::u64) return w.memberUint64Text(key, v);
    if constexpr (kKind == ValueKind::i64) return w.memberInt64Text(key, v);
    if constexpr (kKind == ValueKind::boolean) return w.memberBool(key, v);
    if constexpr (kKind == ValueKind::text) return w.memberString(key, v);
  });
}

// An enumeration name as its JSON text, quotes included, in a fixed block that is copied
// whole, like a key.
struct NameBlock {
  static constexpr std::size_t kSize = 40;
  char text[kSize]{};
  std::uint8_t size = 0;
};

template <std::size_t N>
constexpr std::array<NameBlock, N> nameBlocks(const NameTable& table) {
  std::array<NameBlock, N> blocks{};
  for (std::size_t n = 0; n < N; ++n) {
    const std::string_view quoted = table.quoted(static_cast<std::int32_t>(n));
    // A name longer than the block stops the compilation: the write would fall outside it.
    for (std::size_t i = 0; i < quoted.size(); ++i) blocks[n].text[i] = quoted[i];
    blocks[n].size = static_cast<std::uint8_t>(quoted.size());
  }
  return blocks;
}

constexpr auto kIpVersionBlocks = nameBlocks<3>(kIpVersionNames);
constexpr auto kTcpStateBlocks = nameBlocks<12>(kTcpStateNames);
constexpr auto kDataSourceBlocks = nameBlocks<7>(kDataSourceNames);

// A number has a block when the table names it; 0 of the plain members is never written.
template <std::size_t N>
bool named(const std::array<NameBlock, N>& blocks, std::int32_t number) {
  return number >= 0 && static_cast<std::size_t>(number) < N &&
         blocks[static_cast<std::size_t>(number)].size != 0;
}

// The compact text of one record laid out with no room check of its own: each member is a
// comma (kept only after the first), the whole key block and the value. The caller provides
// recordRoom() bytes.
class CompactRecord {
 public:
  explicit CompactRecord(char* p) : p_(p) {}
  char* end() const { return p_; }
  [[gnu::always_inline]] void put(char c) { *p_++ = c; }

  [[gnu::always_inline]] void key(const JsonKey& k) {
    *p_ = ',';
    p_ += first_ ? 0 : 1;
    first_ = false;
    std::memcpy(p_, k.block(), JsonKey::kBlock);
    p_ += k.size();
  }
  [[gnu::always_inline]] void name(const NameBlock& b) {
    std::memcpy(p_, b.text, NameBlock::kSize);
    p_ += b.size;
  }
  [[gnu::always_inline]] void value(std::uint32_t v) {
    // Counters, flags and stopped timers are mostly a single digit. The test is made at each
    // member, where it is well predicted; the layout is forced inline (here and above), as
    // out of line it would keep the cursor in memory instead of a register.
    if (v < 10) {
      *p_++ = static_cast<char>('0' + v);
    } else {
      p_ = putUint32(p_, v);
    }
  }
  [[gnu::always_inline]] void value(std::int32_t v) { p_ = putInt32(p_, v); }
  [[gnu::always_inline]] void value(std::uint64_t v) {
    *p_ = '"';
    p_ = putUint64(p_ + 1, v);
    *p_++ = '"';
  }
  [[gnu::always_inline]] void value(std::int64_t v) {
    *p_ = '"';
    p_ = putInt64(p_ + 1, v);
    *p_++ = '"';
  }
  [[gnu::always_inline]] void value(bool v) {
    std::memcpy(p_, v ? "true" : "false", v ? 4 : 5);
    p_ += v ? 4 : 5;
  }
  [[gnu::always_inline]] void value(const std::string& v) {
    *p_ = '"';
    p_ = putEscaped(p_ + 1, v);
    *p_++ = '"';
  }
  [[gnu::always_inline]] void value(const Address& a) {
    *p_ = '"';
    p_ = putBase64(p_ + 1, a.bytes.data(), a.size);
    *p_++ = '"';
  }

 private:
  char* p_;
  bool first_ = true;
};

template <RecordField Field>
[[gnu::always_inline]] inline void compactOptional(CompactRecord& out, const SocketRecord& record,
                                                   const JsonKey& key) {
  if (!record.has(Field)) return;
  out.key(key);
  out.value(record.value<Field>());
}

// Room for a member: its comma, its key and the longest value of its kind.
constexpr std::size_t memberRoom(const JsonKey& key, std::size_t valueRoom) {
  return 1 + key.size() + valueRoom;
}
constexpr std::size_t kNameRoom = NameBlock::kSize;
constexpr std::size_t kAddressRoom = 2 + base64Size(16);
constexpr std::size_t kU64Room = 2 + kUint64Room;
constexpr std::size_t kI64Room = 2 + kInt64Room;

// Every member at its longest, texts aside; plus the braces and, since a key or name block
// is copied whole, the block that may reach past the last member.
constexpr std::size_t kFixedRoom =
    2 + NameBlock::kSize + memberRoom(kLocalAddrKey, kAddressRoom) +
    memberRoom(kRemoteAddrKey, kAddressRoom) + memberRoom(kLocalPortKey, kUint32Room) +
    memberRoom(kRemotePortKey, kUint32Room) + memberRoom(kIpVersionKey, kNameRoom) +
    memberRoom(kSocketIdKey, kU64Room) + memberRoom(kStateKey, kNameRoom) +
    memberRoom(kTcpFlagsKey, kUint32Room) + memberRoom(kSndCwndKey, kUint32Room) +
    memberRoom(kSndSsthreshKey, kUint32Room) + memberRoom(kSndWndKey, kUint32Room) +
    memberRoom(kRcvWndKey, kUint32Room) + memberRoom(kMaxsegKey, kUint32Room) +
    memberRoom(kCcAlgoKey, 2) + memberRoom(kTcpStackKey, 2) + memberRoom(kRttUsKey, kUint32Room) +
    memberRoom(kRttvarUsKey, kUint32Room) + memberRoom(kRtoUsKey, kUint32Room) +
    memberRoom(kRttMinUsKey, kUint32Room) + memberRoom(kRttCurUsKey, kUint32Room) +
    memberRoom(kRttUpdateCountKey, kUint32Room) + memberRoom(kSndNxtKey, kUint32Room) +
    memberRoom(kSndUnaKey, kUint32Room) + memberRoom(kSndMaxKey, kUint32Room) +
    memberRoom(kRcvNxtKey, kUint32Room) + memberRoom(kRcvAdvKey, kUint32Room) +
    memberRoom(kSndWscaleKey, kUint32Room) + memberRoom(kRcvWscaleKey, kUint32Room) +
    memberRoom(kRexmitPacketsKey, kUint32Room) + memberRoom(kOooPacketsKey, kUint32Room) +
    memberRoom(kZerowinProbesKey, kUint32Room) + memberRoom(kDupacksKey, kUint32Room) +
    memberRoom(kSackBlocksKey, kUint32Room) + memberRoom(kDsackBytesKey, kUint32Room) +
    memberRoom(kDsackPacketsKey, kUint32Room) + memberRoom(kRxtShiftKey, kUint32Room) +
    memberRoom(kTxBytesKey, kU64Room) + memberRoom(kRxBytesKey, kU64Room) +
    memberRoom(kTxPacketsKey, kU64Room) + memberRoom(kRxPacketsKey, kU64Room) +
    memberRoom(kRetransmitBytesKey, kU64Room) + memberRoom(kOooBytesKey, kU64Room) +
    memberRoom(kRetransmitPacketsTotalKey, kU64Room) + memberRoom(kTimerRexmtMsKey, kUint32Room) +
    memberRoom(kTimerPersistMsKey, kUint32Room) + memberRoom(kTimerKeepMsKey, kUint32Room) +
    memberRoom(kTimer2mslMsKey, kUint32Room) + memberRoom(kTimerDelackMsKey, kUint32Room) +
    memberRoom(kIdleTimeMsKey, kUint32Room) + memberRoom(kSndBufUsedKey, kUint32Room) +
    memberRoom(kSndBufHiwatKey, kUint32Room) + memberRoom(kRcvBufUsedKey, kUint32Room) +
    memberRoom(kRcvBufHiwatKey, kUint32Room) + memberRoom(kPidKey, kInt32Room) +
    memberRoom(kEffectivePidKey, kInt32Room) + memberRoom(kUidKey, kUint32Room) +
    memberRoom(kFdKey, kInt32Room) + memberRoom(kCommandKey, 2) +
    memberRoom(kEcnFlagsKey, kUint32Room) + memberRoom(kEcnCeDeliveredKey, kUint32Room) +
    memberRoom(kEcnCeReceivedKey, kUint32Room) + memberRoom(kNegotiatedOptionsKey, kUint32Room) +
    memberRoom(kTfoStateMacosKey, kUint32Room) + memberRoom(kTfoNegotiatedKey, 5) +
    memberRoom(kInLossRecoveryKey, 5) + memberRoom(kReorderingDetectedKey, 5) +
    memberRoom(kTlpProbesSentKey, kUint32Room) + memberRoom(kTlpBytesSentKey, kU64Room) +
    memberRoom(kEncapsPortKey, kUint32Room) + memberRoom(kInpGencntKey, kU64Room) +
    memberRoom(kStartTimeSecsKey, kUint32Room) + memberRoom(kDeltaRexmitPacketsKey, kInt32Room) +
    memberRoom(kDeltaOooPacketsKey, kInt32Room) + memberRoom(kDeltaZerowinKey, kInt32Room) +
    memberRoom(kConnectionAgeMsKey, kU64Room) + memberRoom(kDeltaTxBytesKey, kI64Room) +
    memberRoom(kDeltaRxBytesKey, kI64Room) +
    memberRoom(kSourcesKey, 2 + DataSourceList::kCapacity * (kNameRoom + 1));

// The room the record's compact text can take: the texts as if every byte were escaped.
std::size_t recordRoom(const SocketRecord& r) {
  std::size_t texts = 0;
  if (r.has(F::ccAlgo)) texts += r.value<F::ccAlgo>().size();
  if (r.has(F::tcpStack)) texts += r.value<F::tcpStack>().size();
  if (r.has(F::command)) texts += r.value<F::command>().size();
  return kFixedRoom + kEscapeGrowth * texts;
}

// Whether every enumeration number that will be written has a name.
bool allNamed(const SocketRecord& r) {
  if (r.ipVersion != 0 && !named(kIpVersionBlocks, r.ipVersion)) return false;
  if (r.state != 0 && !named(kTcpStateBlocks, r.state)) return false;
  for (std::int32_t code : r.sources) {
    if (!named(kDataSourceBlocks, code)) return false;
  }
  return true;
}

char* putCompactRecord(char* p, const SocketRecord& r) {
  CompactRecord out(p);
  out.put('{');
  if (r.localAddr.size != 0) out.key(kLocalAddrKey), out.value(r.localAddr);
  if (r.remoteAddr.size != 0) out.key(kRemoteAddrKey), out.value(r.remoteAddr);
  if (r.localPort != 0) out.key(kLocalPortKey), out.value(r.localPort);
  if (r.remotePort != 0) out.key(kRemotePortKey), out.value(r.remotePort);
  if (r.ipVersion != 0) {
    out.key(kIpVersionKey);
    out.name(kIpVersionBlocks[static_cast<std::size_t>(r.ipVersion)]);
  }
  compactOptional<F::socketId>(out, r, kSocketIdKey);
  if (r.state != 0) {
    out.key(kStateKey);
    out.name(kTcpStateBlocks[static_cast<std::size_t>(r.state)]);
  }
  compactOptional<F::tcpFlags>(out, r, kTcpFlagsKey);
  compactOptional<F::sndCwnd>(out, r, kSndCwndKey);
  compactOptional<F::sndSsthresh>(out, r, kSndSsthreshKey);
  compactOptional<F::sndWnd>(out, r, kSndWndKey);
  compactOptional<F::rcvWnd>(out, r, kRcvWndKey);
  compactOptional<F::maxseg>(out, r, kMaxsegKey);
  compactOptional<F::ccAlgo>(out, r, kCcAlgoKey);
  compactOptional<F::tcpStack>(out, r, kTcpStackKey);
  compactOptional<F::rttUs>(out, r, kRttUsKey);
  compactOptional<F::rttvarUs>(out, r, kRttvarUsKey);
  compactOptional<F::rtoUs>(out, r, kRtoUsKey);
  compactOptional<F::rttMinUs>(out, r, kRttMinUsKey);
  compactOptional<F::rttCurUs>(out, r, kRttCurUsKey);
  compactOptional<F::rttUpdateCount>(out, r, kRttUpdateCountKey);
  compactOptional<F::sndNxt>(out, r, kSndNxtKey);
  compactOptional<F::sndUna>(out, r, kSndUnaKey);
  compactOptional<F::sndMax>(out, r, kSndMaxKey);
  compactOptional<F::rcvNxt>(out, r, kRcvNxtKey);
  compactOptional<F::rcvAdv>(out, r, kRcvAdvKey);
  compactOptional<F::sndWscale>(out, r, kSndWscaleKey);
  compactOptional<F::rcvWscale>(out, r, kRcvWscaleKey);
  compactOptional<F::rexmitPackets>(out, r, kRexmitPacketsKey);
  compactOptional<F::oooPackets>(out, r, kOooPacketsKey);
  compactOptional<F::zerowinProbes>(out, r, kZerowinProbesKey);
  compactOptional<F::dupacks>(out, r, kDupacksKey);
  compactOptional<F::sackBlocks>(out, r, kSackBlocksKey);
  compactOptional<F::dsackBytes>(out, r, kDsackBytesKey);
  compactOptional<F::dsackPackets>(out, r, kDsackPacketsKey);
  compactOptional<F::rxtShift>(out, r, kRxtShiftKey);
  compactOptional<F::txBytes>(out, r, kTxBytesKey);
  compactOptional<F::rxBytes>(out, r, kRxBytesKey);
  compactOptional<F::txPackets>(out, r, kTxPacketsKey);
  compactOptional<F::rxPackets>(out, r, kRxPacketsKey);
  compactOptional<F::retransmitBytes>(out, r, kRetransmitBytesKey);
  compactOptional<F::oooBytes>(out, r, kOooBytesKey);
  compactOptional<F::retransmitPacketsTotal>(out, r, kRetransmitPacketsTotalKey);
  compactOptional<F::timerRexmtMs>(out, r, kTimerRexmtMsKey);
  compactOptional<F::timerPersistMs>(out, r, kTimerPersistMsKey);
  compactOptional<F::timerKeepMs>(out, r, kTimerKeepMsKey);
  compactOptional<F::timer2mslMs>(out, r, kTimer2mslMsKey);
  compactOptional<F::timerDelackMs>(out, r, kTimerDelackMsKey);
  compactOptional<F::idleTimeMs>(out, r, kIdleTimeMsKey);
  compactOptional<F::sndBufUsed>(out, r, kSndBufUsedKey);
  compactOptional<F::sndBufHiwat>(out, r, kSndBufHiwatKey);
  compactOptional<F::rcvBufUsed>(out, r, kRcvBufUsedKey);
  compactOptional<F::rcvBufHiwat>(out, r, kRcvBufHiwatKey);
  compactOptional<F::pid>(out, r, kPidKey);
  compactOptional<F::effectivePid>(out, r, kEffectivePidKey);
  compactOptional<F::uid>(out, r, kUidKey);
  compactOptional<F::fd>(out, r, kFdKey);
  compactOptional<F::command>(out, r, kCommandKey);
  compactOptional<F::ecnFlags>(out, r, kEcnFlagsKey);
  compactOptional<F::ecnCeDelivered>(out, r, kEcnCeDeliveredKey);
  compactOptional<F::ecnCeReceived>(out, r, kEcnCeReceivedKey);
  compactOptional<F::negotiatedOptions>(out, r, kNegotiatedOptionsKey);
  compactOptional<F::tfoStateMacos>(out, r, kTfoStateMacosKey);
  compactOptional<F::tfoNegotiated>(out, r, kTfoNegotiatedKey);
  compactOptional<F::inLossRecovery>(out, r, kInLossRecoveryKey);
  compactOptional<F::reorderingDetected>(out, r, kReorderingDetectedKey);
  compactOptional<F::tlpProbesSent>(out, r, kTlpProbesSentKey);
  compactOptional<F::tlpBytesSent>(out, r, kTlpBytesSentKey);
  compactOptional<F::encapsPort>(out, r, kEncapsPortKey);
  compactOptional<F::inpGencnt>(out, r, kInpGencntKey);
  compactOptional<F::startTimeSecs>(out, r, kStartTimeSecsKey);
  compactOptional<F::deltaRexmitPackets>(out, r, kDeltaRexmitPacketsKey);
  compactOptional<F::deltaOooPackets>(out, r, kDeltaOooPacketsKey);
  compactOptional<F::deltaZerowin>(out, r, kDeltaZerowinKey);
  compactOptional<F::connectionAgeMs>(out, r, kConnectionAgeMsKey);
  compactOptional<F::deltaTxBytes>(out, r, kDeltaTxBytesKey);
  compactOptional<F::deltaRxBytes>(out, r, kDeltaRxBytesKey);
  if (!r.sources.empty()) {
    out.key(kSourcesKey);
    out.put('[');
    for (std::size_t i = 0; i < r.sources.size(); ++i) {
      if (i != 0) out.put(',');
      out.name(kDataSourceBlocks[static_cast<std::size_t>(r.sources[i])]);
    }
    out.put(']');
  }
  out.put('}');
  return out.end();
}

}  // namespace

std::size_t memberCount(const SocketRecord& r) {
  return r.presentCount() + (r.localAddr.size != 0) + (r.remoteAddr.size != 0) +
         (r.localPort != 0) + (r.remotePort != 0) + (r.ipVersion != 0) + (r.state != 0) +
         !r.sources.empty();
}

JsonStatus writeSocketRecord(JsonWriter& writer, const SocketRecord& r) {
  // The common case, in one piece. A record with an unnamed number goes member by member, so
  // that it stops exactly before that member's key.
  if (writer.style() == OutputStyle::compact && allNamed(r)) {
    const std::size_t room = recordRoom(r);
    if (room <= JsonWriter::kMaxValue) {
      if (writer.compactValue(room, [&r](char* p) { return putCompactRecord(p, r); })) {
        return Done{};
      }
      return fail(writer.sinkError());
    }
  }
  JsonStatus opened = writer.beginObject(memberCount(r));
  if (!opened.ok()) return opened;
  MemberWriter out(writer);
  out.bytes(kLocalAddrKey, r.localAddr);
  out.bytes(kRemoteAddrKey, r.remoteAddr);
  out.uint32(kLocalPortKey, r.localPort);
  out.uint32(kRemotePortKey, r.remotePort);
  out.name(kIpVersionKey, kIpVersionNames, r.ipVersion);
  optional<F::socketId>(out, r, kSocketIdKey);
  out.name(kStateKey, kTcpStateNames, r.state);
  optional<F::tcpFlags>(out, r, kTcpFlagsKey);
  optional<F::sndCwnd>(out, r, kSndCwndKey);
  optional<F::sndSsthresh>(out, r, kSndSsthreshKey);
  optional<F::sndWnd>(out, r, kSndWndKey);
  optional<F::rcvWnd>(out, r, kRcvWndKey);
  optional<F::maxseg>(out, r, kMaxsegKey);
  optional<F::ccAlgo>(out, r, kCcAlgoKey);
  optional<F::tcpStack>(out, r, kTcpStackKey);
  optional<F::rttUs>(out, r, kRttUsKey);
  optional<F::rttvarUs>(out, r, kRttvarUsKey);
  optional<F::rtoUs>(out, r, kRtoUsKey);
  optional<F::rttMinUs>(out, r, kRttMinUsKey);
  optional<F::rttCurUs>(out, r, kRttCurUsKey);
  optional<F::rttUpdateCount>(out, r, kRttUpdateCountKey);
  optional<F::sndNxt>(out, r, kSndNxtKey);
  optional<F::sndUna>(out, r, kSndUnaKey);
  optional<F::sndMax>(out, r, kSndMaxKey);
  optional<F::rcvNxt>(out, r, kRcvNxtKey);
  optional<F::rcvAdv>(out, r, kRcvAdvKey);
  optional<F::sndWscale>(out, r, kSndWscaleKey);
  optional<F::rcvWscale>(out, r, kRcvWscaleKey);
  optional<F::rexmitPackets>(out, r, kRexmitPacketsKey);
  optional<F::oooPackets>(out, r, kOooPacketsKey);
  optional<F::zerowinProbes>(out, r, kZerowinProbesKey);
  optional<F::dupacks>(out, r, kDupacksKey);
  optional<F::sackBlocks>(out, r, kSackBlocksKey);
  optional<F::dsackBytes>(out, r, kDsackBytesKey);
  optional<F::dsackPackets>(out, r, kDsackPacketsKey);
  optional<F::rxtShift>(out, r, kRxtShiftKey);
  optional<F::txBytes>(out, r, kTxBytesKey);
  optional<F::rxBytes>(out, r, kRxBytesKey);
  optional<F::txPackets>(out, r, kTxPacketsKey);
  optional<F::rxPackets>(out, r, kRxPacketsKey);
  optional<F::retransmitBytes>(out, r, kRetransmitBytesKey);
  optional<F::oooBytes>(out, r, kOooBytesKey);
  optional<F::retransmitPacketsTotal>(out, r, kRetransmitPacketsTotalKey);
  optional<F::timerRexmtMs>(out, r, kTimerRexmtMsKey);
  optional<F::timerPersistMs>(out, r, kTimerPersistMsKey);
  optional<F::timerKeepMs>(out, r, kTimerKeepMsKey);
  optional<F::timer2mslMs>(out, r, kTimer2mslMsKey);
  optional<F::timerDelackMs>(out, r, kTimerDelackMsKey);
  optional<F::idleTimeMs>(out, r, kIdleTimeMsKey);
  optional<F::sndBufUsed>(out, r, kSndBufUsedKey);
  optional<F::sndBufHiwat>(out, r, kSndBufHiwatKey);
  optional<F::rcvBufUsed>(out, r, kRcvBufUsedKey);
  optional<F::rcvBufHiwat>(out, r, kRcvBufHiwatKey);
  optional<F::pid>(out, r, kPidKey);
  optional<F::effectivePid>(out, r, kEffectivePidKey);
  optional<F::uid>(out, r, kUidKey);
  optional<F::fd>(out, r, kFdKey);
  optional<F::command>(out, r, kCommandKey);
  optional<F::ecnFlags>(out, r, kEcnFlagsKey);
  optional<F::ecnCeDelivered>(out, r, kEcnCeDeliveredKey);
  optional<F::ecnCeReceived>(out, r, kEcnCeReceivedKey);
  optional<F::negotiatedOptions>(out, r, kNegotiatedOptionsKey);
  optional<F::tfoStateMacos>(out, r, kTfoStateMacosKey);
  optional<F::tfoNegotiated>(out, r, kTfoNegotiatedKey);
  optional<F::inLossRecovery>(out, r, kInLossRecoveryKey);
  optional<F::reorderingDetected>(out, r, kReorderingDetectedKey);
  optional<F::tlpProbesSent>(out, r, kTlpProbesSentKey);
  optional<F::tlpBytesSent>(out, r, kTlpBytesSentKey);
  optional<F::encapsPort>(out, r, kEncapsPortKey);
  optional<F::inpGencnt>(out, r, kInpGencntKey);
  optional<F::startTimeSecs>(out, r, kStartTimeSecsKey);
  optional<F::deltaRexmitPackets>(out, r, kDeltaRexmitPacketsKey);
  optional<F::deltaOooPackets>(out, r, kDeltaOooPacketsKey);
  optional<F::deltaZerowin>(out, r, kDeltaZerowinKey);
  optional<F::connectionAgeMs>(out, r, kConnectionAgeMsKey);
  optional<F::deltaTxBytes>(out, r, kDeltaTxBytesKey);
  optional<F::deltaRxBytes>(out, r, kDeltaRxBytesKey);
  out.names(kSourcesKey, kDataSourceNames, codes(r.sources));
  return out.finishObject();
}

}  // namespace wirelens
