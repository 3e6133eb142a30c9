#include "records/record_decoder.h"

#include <algorithm>
#include <cstdint>

#include "records/read_le.h"
#include "records/utf8_lossy.h"

namespace wirelens {
namespace {

namespace k = kernel_record;
using Bytes = std::span<const std::byte>;

std::uint32_t u32(Bytes r, std::size_t offset) {
  return readLe<std::uint32_t>(r, offset);
}

// A negative timer means "not running", which the output shows as 0.
std::uint32_t timer(Bytes r, std::size_t offset) {
  const std::int32_t value = readLe<std::int32_t>(r, offset);
  return value < 0 ? 0u : static_cast<std::uint32_t>(value);
}

// Up to the first zero byte, or all 16 bytes when the name fills the field.
std::optional<std::string> text(Bytes r, std::size_t offset) {
  Bytes field = r.subspan(offset, k::kTextSize);
  const auto zero = std::find(field.begin(), field.end(), std::byte{0});
  Bytes used = field.first(static_cast<std::size_t>(zero - field.begin()));
  if (used.empty()) return std::nullopt;
  return decodeUtf8Lossy(used);
}

Address address(Bytes r, std::size_t offset, std::uint8_t size) {
  Address out;
  out.size = size;
  for (std::size_t i = 0; i < size; ++i)
    out.bytes[i] = std::to_integer<std::uint8_t>(r[offset + i]);
  return out;
}

}  // namespace

Result<DecodedSocket, CollectorError> decodeRecord(std::span<const std::byte, k::kSize> record) {
  const Bytes r = record;
  const std::uint32_t version = u32(r, k::kVersionOffset);
  if (version != k::kVersion) {
    return fail(CollectorError{CollectorError::VersionMismatch{k::kVersion, version}});
  }

  DecodedSocket s;
  // Either mark alone makes the socket IPv6; no other family value is looked at.
  const bool ipv6 = (readLe<std::uint8_t>(r, k::kFlags) & k::kFlagIpv6) != 0 ||
                    readLe<std::uint8_t>(r, k::kFamily) == k::kFamilyInet6;
  s.ipVersion = ipv6 ? 6 : 4;
  const std::uint8_t addressSize = ipv6 ? 16 : 4;
  s.localAddr = address(r, k::kLocalAddr, addressSize);
  s.remoteAddr = address(r, k::kRemoteAddr, addressSize);
  s.localPort = readLe<std::uint16_t>(r, k::kLocalPort);
  s.remotePort = readLe<std::uint16_t>(r, k::kRemotePort);

  s.state = u32(r, k::kState);
  s.tcpFlags = u32(r, k::kTcpFlags);
  s.sndCwnd = u32(r, k::kSndCwnd);
  s.sndSsthresh = u32(r, k::kSndSsthresh);
  s.sndWnd = u32(r, k::kSndWnd);
  s.rcvWnd = u32(r, k::kRcvWnd);
  s.maxseg = u32(r, k::kMaxseg);
  s.ccAlgo = text(r, k::kCcAlgo);
  s.tcpStack = text(r, k::kTcpStack);
  s.rttUs = u32(r, k::kRttUs);
  s.rttvarUs = u32(r, k::kRttvarUs);
  s.rtoUs = u32(r, k::kRtoUs);
  s.rttMinUs = u32(r, k::kRttMinUs);
  s.sndWscale = readLe<std::uint8_t>(r, k::kSndWscale);
  s.rcvWscale = readLe<std::uint8_t>(r, k::kRcvWscale);
  s.negotiatedOptions = readLe<std::uint8_t>(r, k::kNegotiatedOptions);
  s.sndNxt = u32(r, k::kSndNxt);
  s.sndUna = u32(r, k::kSndUna);
  s.sndMax = u32(r, k::kSndMax);
  s.rcvNxt = u32(r, k::kRcvNxt);
  s.rcvAdv = u32(r, k::kRcvAdv);
  s.rexmitPackets = u32(r, k::kRexmitPackets);
  s.oooPackets = u32(r, k::kOooPackets);
  s.zerowinProbes = u32(r, k::kZerowinProbes);
  s.dupacks = u32(r, k::kDupacks);
  s.sackBlocks = u32(r, k::kSackBlocks);
  s.ecnFlags = u32(r, k::kEcnFlags);
  s.ecnCeDelivered = u32(r, k::kEcnCeDelivered);
  s.ecnCeReceived = u32(r, k::kEcnCeReceived);
  s.dsackBytes = u32(r, k::kDsackBytes);
  s.dsackPackets = u32(r, k::kDsackPackets);
  s.tlpProbesSent = u32(r, k::kTlpProbesSent);
  s.tlpBytesSent = readLe<std::uint64_t>(r, k::kTlpBytesSent);
  s.timerRexmtMs = timer(r, k::kTimerRexmtMs);
  s.timerPersistMs = timer(r, k::kTimerPersistMs);
  s.timerKeepMs = timer(r, k::kTimerKeepMs);
  s.timer2mslMs = timer(r, k::kTimer2mslMs);
  s.timerDelackMs = timer(r, k::kTimerDelackMs);
  s.idleTimeMs = timer(r, k::kIdleTimeMs);
  s.sndBufUsed = u32(r, k::kSndBufUsed);
  s.sndBufHiwat = u32(r, k::kSndBufHiwat);
  s.rcvBufUsed = u32(r, k::kRcvBufUsed);
  s.rcvBufHiwat = u32(r, k::kRcvBufHiwat);
  s.socketId = readLe<std::uint64_t>(r, k::kSocketId);
  s.uid = u32(r, k::kUid);
  s.inpGencnt = readLe<std::uint64_t>(r, k::kInpGencnt);
  s.sources.push_back(kSourceFreebsdKld);
  return s;
}

Result<std::vector<DecodedSocket>, CollectorError> decodeRecords(std::span<const std::byte> bytes,
                                                                 std::size_t recordCount) {
  // The count comes from the caller; the bytes are what is really there.
  const std::size_t count = std::min(recordCount, bytes.size() / k::kSize);
  std::vector<DecodedSocket> sockets;
  sockets.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    Result<DecodedSocket, CollectorError> one =
        decodeRecord(bytes.subspan(i * k::kSize).first<k::kSize>());
    if (!one.ok()) return fail(std::move(one).error());
    sockets.push_back(std::move(one).value());
  }
  return sockets;
}

}  // namespace wirelens
