#include "records/record_assembly.h"

#include "document/enumerations.h"

namespace wirelens {
namespace {

using F = RecordField;

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

  r.assign<F::socketId>(s.socketId);
  r.assign<F::tcpFlags>(s.tcpFlags);
  r.assign<F::sndCwnd>(s.sndCwnd);
  r.assign<F::sndSsthresh>(s.sndSsthresh);
  r.assign<F::sndWnd>(s.sndWnd);
  r.assign<F::rcvWnd>(s.rcvWnd);
  r.assign<F::maxseg>(s.maxseg);
  r.assign<F::ccAlgo>(s.ccAlgo);
  r.assign<F::tcpStack>(s.tcpStack);
  r.assign<F::rttUs>(s.rttUs);
  r.assign<F::rttvarUs>(s.rttvarUs);
  r.assign<F::rtoUs>(s.rtoUs);
  r.assign<F::rttMinUs>(s.rttMinUs);
  r.assign<F::sndNxt>(s.sndNxt);
  r.assign<F::sndUna>(s.sndUna);
  r.assign<F::sndMax>(s.sndMax);
  r.assign<F::rcvNxt>(s.rcvNxt);
  r.assign<F::rcvAdv>(s.rcvAdv);
  r.assign<F::sndWscale>(s.sndWscale);
  r.assign<F::rcvWscale>(s.rcvWscale);
  r.assign<F::rexmitPackets>(s.rexmitPackets);
  r.assign<F::oooPackets>(s.oooPackets);
  r.assign<F::zerowinProbes>(s.zerowinProbes);
  r.assign<F::dupacks>(s.dupacks);
  r.assign<F::sackBlocks>(s.sackBlocks);
  r.assign<F::dsackBytes>(s.dsackBytes);
  r.assign<F::dsackPackets>(s.dsackPackets);
  r.assign<F::timerRexmtMs>(s.timerRexmtMs);
  r.assign<F::timerPersistMs>(s.timerPersistMs);
  r.assign<F::timerKeepMs>(s.timerKeepMs);
  r.assign<F::timer2mslMs>(s.timer2mslMs);
  r.assign<F::timerDelackMs>(s.timerDelackMs);
  r.assign<F::idleTimeMs>(s.idleTimeMs);
  r.assign<F::sndBufUsed>(s.sndBufUsed);
  r.assign<F::sndBufHiwat>(s.sndBufHiwat);
  r.assign<F::rcvBufUsed>(s.rcvBufUsed);
  r.assign<F::rcvBufHiwat>(s.rcvBufHiwat);
  r.assign<F::pid>(s.pid);
  r.assign<F::uid>(s.uid);
  r.assign<F::fd>(s.fd);
  r.assign<F::ecnFlags>(s.ecnFlags);
  r.assign<F::ecnCeDelivered>(s.ecnCeDelivered);
  r.assign<F::ecnCeReceived>(s.ecnCeReceived);
  r.assign<F::negotiatedOptions>(s.negotiatedOptions);
  r.assign<F::tlpProbesSent>(s.tlpProbesSent);
  r.assign<F::tlpBytesSent>(s.tlpBytesSent);
  r.assign<F::inpGencnt>(s.inpGencnt);
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
