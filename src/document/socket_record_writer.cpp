#include "document/socket_record_writer.h"

#include "document/enumerations.h"
#include "document/member_writer.h"

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

}  // namespace

std::size_t memberCount(const SocketRecord& r) {
  return r.presentCount() + (r.localAddr.size != 0) + (r.remoteAddr.size != 0) +
         (r.localPort != 0) + (r.remotePort != 0) + (r.ipVersion != 0) + (r.state != 0) +
         !r.sources.empty();
}

JsonStatus writeSocketRecord(JsonWriter& writer, const SocketRecord& r) {
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
