#include "record_fixtures.h"

#include <string>
#include <utility>

namespace wirelens::testing {
namespace {

template <RecordField F>
void setNumbered(SocketRecord& record) {
  const int n = memberPosition(F);
  constexpr ValueKind kKind = kindOf(F);
  if constexpr (kKind == ValueKind::u32) record.set<F>(static_cast<std::uint32_t>(n));
  if constexpr (kKind == ValueKind::i32) record.set<F>(-n);
  if constexpr (kKind == ValueKind::u64) record.set<F>(static_cast<std::uint64_t>(n));
  if constexpr (kKind == ValueKind::i64) record.set<F>(-std::int64_t{n});
  if constexpr (kKind == ValueKind::boolean) record.set<F>(n % 2 == 0);
  if constexpr (kKind == ValueKind::text) record.set<F>("text" + std::to_string(n));
}

template <std::size_t... I>
void setEveryOptional(SocketRecord& record, std::index_sequence<I...>) {
  (setNumbered<static_cast<RecordField>(I)>(record), ...);
}

Address ipv6(std::array<std::uint8_t, 16> bytes) {
  Address a;
  a.bytes = bytes;
  a.size = 16;
  return a;
}

}  // namespace

int memberPosition(RecordField field) {
  // socketId sits between ipVersion (5) and state (7); the others follow state in order.
  const int index = static_cast<int>(field);
  return index == 0 ? 6 : index + 7;
}

SocketRecord fullRecord() {
  SocketRecord r;
  r.localAddr = ipv6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  r.remoteAddr = ipv6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 2});
  r.localPort = 22;
  r.remotePort = 52144;
  r.ipVersion = 2;
  r.state = 5;
  r.sources.push_back(5);
  r.sources.push_back(6);
  setEveryOptional(r, std::make_index_sequence<kRecordFieldCount>());
  return r;
}

DecodedSocket fullDecodedSocket() {
  using F = RecordField;
  auto n = [](RecordField f) { return static_cast<std::uint32_t>(memberPosition(f)); };
  DecodedSocket s;
  s.localAddr = ipv6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  s.remoteAddr = ipv6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 2});
  s.localPort = 22;
  s.remotePort = 52144;
  s.ipVersion = 6;
  s.state = 4;
  s.sources.push_back(5);
  s.sources.push_back(6);
  s.socketId = n(F::socketId);
  s.tcpFlags = n(F::tcpFlags);
  s.sndCwnd = n(F::sndCwnd);
  s.sndSsthresh = n(F::sndSsthresh);
  s.sndWnd = n(F::sndWnd);
  s.rcvWnd = n(F::rcvWnd);
  s.maxseg = n(F::maxseg);
  s.ccAlgo = "cubic";
  s.tcpStack = "freebsd";
  s.rttUs = n(F::rttUs);
  s.rttvarUs = n(F::rttvarUs);
  s.rtoUs = n(F::rtoUs);
  s.rttMinUs = n(F::rttMinUs);
  s.sndNxt = n(F::sndNxt);
  s.sndUna = n(F::sndUna);
  s.sndMax = n(F::sndMax);
  s.rcvNxt = n(F::rcvNxt);
  s.rcvAdv = n(F::rcvAdv);
  s.sndWscale = n(F::sndWscale);
  s.rcvWscale = n(F::rcvWscale);
  s.rexmitPackets = n(F::rexmitPackets);
  s.oooPackets = n(F::oooPackets);
  s.zerowinProbes = n(F::zerowinProbes);
  s.dupacks = n(F::dupacks);
  s.sackBlocks = n(F::sackBlocks);
  s.dsackBytes = n(F::dsackBytes);
  s.dsackPackets = n(F::dsackPackets);
  s.timerRexmtMs = n(F::timerRexmtMs);
  s.timerPersistMs = n(F::timerPersistMs);
  s.timerKeepMs = n(F::timerKeepMs);
  s.timer2mslMs = n(F::timer2mslMs);
  s.timerDelackMs = n(F::timerDelackMs);
  s.idleTimeMs = n(F::idleTimeMs);
  s.sndBufUsed = n(F::sndBufUsed);
  s.sndBufHiwat = n(F::sndBufHiwat);
  s.rcvBufUsed = n(F::rcvBufUsed);
  s.rcvBufHiwat = n(F::rcvBufHiwat);
  s.pid = -static_cast<std::int32_t>(n(F::pid));
  s.uid = n(F::uid);
  s.fd = -static_cast<std::int32_t>(n(F::fd));
  s.ecnFlags = n(F::ecnFlags);
  s.ecnCeDelivered = n(F::ecnCeDelivered);
  s.ecnCeReceived = n(F::ecnCeReceived);
  s.negotiatedOptions = static_cast<std::uint8_t>(n(F::negotiatedOptions));
  s.tlpProbesSent = n(F::tlpProbesSent);
  s.tlpBytesSent = n(F::tlpBytesSent);
  s.inpGencnt = n(F::inpGencnt);
  s.rxtShift = n(F::rxtShift);
  s.startTimeSecs = n(F::startTimeSecs);
  s.effectivePid = -static_cast<std::int32_t>(n(F::effectivePid));
  return s;
}

}  // namespace wirelens::testing
