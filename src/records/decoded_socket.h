// DecodedSocket: one kernel socket record in platform-neutral form. Every kernel value is
// optional; the record decoder sets what it reads, owner attribution sets pid and fd and
// extends sources, record assembly turns it into a SocketRecord.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/value_types.h"

namespace wirelens {

struct DecodedSocket {
  std::optional<std::uint64_t> socketId, inpGencnt, tlpBytesSent;
  std::optional<std::uint32_t> state;  // kernel numbering
  std::optional<std::uint32_t> tcpFlags, sndCwnd, sndSsthresh, sndWnd, rcvWnd, maxseg;
  std::optional<std::string> ccAlgo, tcpStack;
  std::optional<std::uint32_t> rttUs, rttvarUs, rtoUs, rttMinUs;
  std::optional<std::uint32_t> sndWscale, rcvWscale;
  std::optional<std::uint32_t> sndNxt, sndUna, sndMax, rcvNxt, rcvAdv;
  std::optional<std::uint32_t> rexmitPackets, oooPackets, zerowinProbes, dupacks, sackBlocks;
  std::optional<std::uint32_t> ecnFlags, ecnCeDelivered, ecnCeReceived;
  std::optional<std::uint32_t> dsackBytes, dsackPackets, tlpProbesSent;
  std::optional<std::uint32_t> timerRexmtMs, timerPersistMs, timerKeepMs, timer2mslMs,
      timerDelackMs, idleTimeMs;
  std::optional<std::uint32_t> sndBufUsed, sndBufHiwat, rcvBufUsed, rcvBufHiwat;
  std::optional<std::uint32_t> uid;
  std::optional<std::uint16_t> localPort, remotePort;
  std::optional<std::uint8_t> ipVersion;  // 4 or 6
  std::optional<std::uint8_t> negotiatedOptions;
  Address localAddr, remoteAddr;
  DataSourceList sources;
  std::optional<std::int32_t> pid, fd;  // set by owner attribution
  // No source on this platform; always unset.
  std::optional<std::uint32_t> rxtShift, startTimeSecs;
  std::optional<std::int32_t> effectivePid;
};

}  // namespace wirelens
