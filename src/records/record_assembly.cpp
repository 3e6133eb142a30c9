#include "records/record_assembly.h"

#include "document/value_types.h"

namespace wirelens {
namespace {

// Fields the decoded socket has no source for (rttCurUs, rxtShift, the byte and packet
// totals, command, the macOS and delta fields, ...) are simply never assigned: a new
// record holds them unset.
void copyFields(const DecodedSocket& s, SocketRecord& r) {
  r.localAddr = s.localAddr;
  r.remoteAddr = s.remoteAddr;
  r.localPort = s.localPort.value_or(0);
  r.remotePort = s.remotePort.value_or(0);
  r.ipVersion = ipVersionFromDecoded(s.ipVersion);
  r.state = tcpStateFromKernel(s.state);
  r.sources = s.sources;

  r.assign<"socketId">(s.socketId);
  r.assign<"tcpFlags">(s.tcpFlags);
  r.assign<"sndCwnd">(s.sndCwnd);
  r.assign<"sndSsthresh">(s.sndSsthresh);
  r.assign<"sndWnd">(s.sndWnd);
  r.assign<"rcvWnd">(s.rcvWnd);
  r.assign<"maxseg">(s.maxseg);
  r.assign<"ccAlgo">(s.ccAlgo);
  r.assign<"tcpStack">(s.tcpStack);
  r.assign<"rttUs">(s.rttUs);
  r.assign<"rttvarUs">(s.rttvarUs);
  r.assign<"rtoUs">(s.rtoUs);
  r.assign<"rttMinUs">(s.rttMinUs);
  r.assign<"sndNxt">(s.sndNxt);
  r.assign<"sndUna">(s.sndUna);
  r.assign<"sndMax">(s.sndMax);
  r.assign<"rcvNxt">(s.rcvNxt);
  r.assign<"rcvAdv">(s.rcvAdv);
  r.assign<"sndWscale">(s.sndWscale);
  r.assign<"rcvWscale">(s.rcvWscale);
  r.assign<"rexmitPackets">(s.rexmitPackets);
  r.assign<"oooPackets">(s.oooPackets);
  r.assign<"zerowinProbes">(s.zerowinProbes);
  r.assign<"dupacks">(s.dupacks);
  r.assign<"sackBlocks">(s.sackBlocks);
  r.assign<"dsackBytes">(s.dsackBytes);
  r.assign<"dsackPackets">(s.dsackPackets);
  r.assign<"timerRexmtMs">(s.timerRexmtMs);
  r.assign<"timerPersistMs">(s.timerPersistMs);
  r.assign<"timerKeepMs">(s.timerKeepMs);
  r.assign<"timer2mslMs">(s.timer2mslMs);
  r.assign<"timerDelackMs">(s.timerDelackMs);
  r.assign<"idleTimeMs">(s.idleTimeMs);
  r.assign<"sndBufUsed">(s.sndBufUsed);
  r.assign<"sndBufHiwat">(s.sndBufHiwat);
  r.assign<"rcvBufUsed">(s.rcvBufUsed);
  r.assign<"rcvBufHiwat">(s.rcvBufHiwat);
  r.assign<"pid">(s.pid);
  r.assign<"uid">(s.uid);
  r.assign<"fd">(s.fd);
  r.assign<"ecnFlags">(s.ecnFlags);
  r.assign<"ecnCeDelivered">(s.ecnCeDelivered);
  r.assign<"ecnCeReceived">(s.ecnCeReceived);
  r.assign<"negotiatedOptions">(s.negotiatedOptions);
  r.assign<"tlpProbesSent">(s.tlpProbesSent);
  r.assign<"tlpBytesSent">(s.tlpBytesSent);
  r.assign<"inpGencnt">(s.inpGencnt);
}

}  // namespace

std::int32_t tcpStateFromKernel(const std::optional<std::uint32_t>& kernelState) {
  if (!kernelState.has_value() || *kernelState >= 11) return number(TcpState::none);
  return static_cast<std::int32_t>(*kernelState + 1);
}

std::int32_t ipVersionFromDecoded(const std::optional<std::uint8_t>& version) {
  if (version == 4) return number(IpVersion::v4);
  if (version == 6) return number(IpVersion::v6);
  return number(IpVersion::none);
}

std::vector<SocketRecord> assembleRecords(std::span<const DecodedSocket> sockets) {
  std::vector<SocketRecord> records;
  // Above max_size() the byte size of the records would wrap (and reserve() would throw).
  // No span that large can exist in memory, so no real pass is dropped here.
  if (sockets.size() > records.max_size()) return records;
  records.reserve(sockets.size());
  // Each record starts as a copy of an empty one: the copy is a run of wide moves, where
  // building a record zeroes it with a string instruction slow to start, about a fifth of
  // the whole assembly.
  static const SocketRecord kEmpty;
  for (const DecodedSocket& socket : sockets) {
    records.push_back(kEmpty);
    copyFields(socket, records.back());
  }
  return records;
}

}  // namespace wirelens
