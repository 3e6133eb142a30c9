#include "record_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace wirelens::testing {
namespace {

template <std::size_t I>
void setNumbered(SocketRecord& record) {
  using M = MemberAt<SocketRecord, I>;
  if constexpr (M::kHeldInSlot) {
    const int n = static_cast<int>(I) + 1;
    constexpr Kind kKind = M::kKind;
    if constexpr (kKind == Kind::u32) record.setSlot<I>(static_cast<std::uint32_t>(n));
    if constexpr (kKind == Kind::i32) record.setSlot<I>(-n);
    if constexpr (kKind == Kind::u64) record.setSlot<I>(static_cast<std::uint64_t>(n));
    if constexpr (kKind == Kind::i64) record.setSlot<I>(-std::int64_t{n});
    if constexpr (kKind == Kind::boolean) record.setSlot<I>(n % 2 == 0);
    if constexpr (kKind == Kind::string) record.setSlot<I>("text" + std::to_string(n));
  }
}

template <std::size_t... I>
void setEveryOptional(SocketRecord& record, std::index_sequence<I...>) {
  (setNumbered<I>(record), ...);
}

Address ipv6(std::array<std::uint8_t, 16> bytes) {
  Address a;
  a.bytes = bytes;
  a.size = 16;
  return a;
}

}  // namespace

int memberPosition(std::string_view key) {
  for (std::size_t i = 0; i < kMemberKeys<SocketRecord>.size(); ++i) {
    if (kMemberKeys<SocketRecord>[i] == key) return static_cast<int>(i) + 1;
  }
  ADD_FAILURE() << "no record member " << key;
  return 0;
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
  setEveryOptional(r, std::make_index_sequence<kMemberCount<SocketRecord>>());
  return r;
}

DecodedSocket fullDecodedSocket() {
  auto n = [](std::string_view key) { return static_cast<std::uint32_t>(memberPosition(key)); };
  DecodedSocket s;
  s.localAddr = ipv6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  s.remoteAddr = ipv6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 2});
  s.localPort = 22;
  s.remotePort = 52144;
  s.ipVersion = 6;
  s.state = 4;
  s.sources.push_back(5);
  s.sources.push_back(6);
  s.socketId = n("socketId");
  s.tcpFlags = n("tcpFlags");
  s.sndCwnd = n("sndCwnd");
  s.sndSsthresh = n("sndSsthresh");
  s.sndWnd = n("sndWnd");
  s.rcvWnd = n("rcvWnd");
  s.maxseg = n("maxseg");
  s.ccAlgo = "cubic";
  s.tcpStack = "freebsd";
  s.rttUs = n("rttUs");
  s.rttvarUs = n("rttvarUs");
  s.rtoUs = n("rtoUs");
  s.rttMinUs = n("rttMinUs");
  s.sndNxt = n("sndNxt");
  s.sndUna = n("sndUna");
  s.sndMax = n("sndMax");
  s.rcvNxt = n("rcvNxt");
  s.rcvAdv = n("rcvAdv");
  s.sndWscale = n("sndWscale");
  s.rcvWscale = n("rcvWscale");
  s.rexmitPackets = n("rexmitPackets");
  s.oooPackets = n("oooPackets");
  s.zerowinProbes = n("zerowinProbes");
  s.dupacks = n("dupacks");
  s.sackBlocks = n("sackBlocks");
  s.dsackBytes = n("dsackBytes");
  s.dsackPackets = n("dsackPackets");
  s.timerRexmtMs = n("timerRexmtMs");
  s.timerPersistMs = n("timerPersistMs");
  s.timerKeepMs = n("timerKeepMs");
  s.timer2mslMs = n("timer2mslMs");
  s.timerDelackMs = n("timerDelackMs");
  s.idleTimeMs = n("idleTimeMs");
  s.sndBufUsed = n("sndBufUsed");
  s.sndBufHiwat = n("sndBufHiwat");
  s.rcvBufUsed = n("rcvBufUsed");
  s.rcvBufHiwat = n("rcvBufHiwat");
  s.pid = -static_cast<std::int32_t>(n("pid"));
  s.uid = n("uid");
  s.fd = -static_cast<std::int32_t>(n("fd"));
  s.ecnFlags = n("ecnFlags");
  s.ecnCeDelivered = n("ecnCeDelivered");
  s.ecnCeReceived = n("ecnCeReceived");
  s.negotiatedOptions = static_cast<std::uint8_t>(n("negotiatedOptions"));
  s.tlpProbesSent = n("tlpProbesSent");
  s.tlpBytesSent = n("tlpBytesSent");
  s.inpGencnt = n("inpGencnt");
  s.rxtShift = n("rxtShift");
  s.startTimeSecs = n("startTimeSecs");
  s.effectivePid = -static_cast<std::int32_t>(n("effectivePid"));
  return s;
}

}  // namespace wirelens::testing
