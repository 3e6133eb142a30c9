#include "records/record_decoder.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "records/read_le.h"
#include "records/utf8_lossy.h"

namespace wirelens {
namespace {

namespace k = kernel_record;
using Record = std::span<const std::byte, k::kSize>;

// Every offset is a constant inside the fixed-size record, so the bounds checks of readLe
// fold away.
template <typename T>
T at(Record r, std::size_t offset) {
  return readLe<T>(r, offset);
}

// A negative timer means "not running", which the output shows as 0.
std::uint32_t timer(Record r, std::size_t offset) {
  const std::int32_t value = at<std::int32_t>(r, offset);
  return value < 0 ? 0u : static_cast<std::uint32_t>(value);
}

// Up to the first zero byte, or all 16 bytes when the name fills the field; unset when empty.
void text(Record r, std::size_t offset, std::optional<std::string>& out) {
  static_assert(k::kTextSize == 16);
  const std::byte* field = r.data() + offset;
  // The field as two little-endian words, first byte lowest: a few word operations find the
  // first zero byte and whether any byte before it is outside ASCII, with no loop.
  const auto low = at<std::uint64_t>(r, offset);
  const auto high = at<std::uint64_t>(r, offset + 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  // A byte's high bit is set here when the byte is zero (exact up to the first zero byte).
  const std::uint64_t zeroLow = (low - kOnes) & ~low & kHighBits;
  const std::uint64_t zeroHigh = (high - kOnes) & ~high & kHighBits;
  const std::size_t length = zeroLow != 0 ? static_cast<std::size_t>(std::countr_zero(zeroLow)) / 8
                             : zeroHigh != 0
                                 ? 8 + static_cast<std::size_t>(std::countr_zero(zeroHigh)) / 8
                                 : k::kTextSize;
  if (length == 0) return;
  // High bits of the bytes that belong to the text.
  const std::uint64_t usedLow = length >= 8 ? ~0ull : (1ull << (8 * length)) - 1;
  const std::uint64_t usedHigh = length <= 8    ? 0
                                 : length == 16 ? ~0ull
                                                : (1ull << (8 * (length - 8))) - 1;
  if (((low & usedLow) | (high & usedHigh)) & kHighBits) {
    out = decodeUtf8Lossy({field, length});
  } else {
    out.emplace(reinterpret_cast<const char*>(field), length);
  }
}

void address(Record r, std::size_t offset, std::uint8_t size, Address& out) {
  out.size = size;
  std::memcpy(out.bytes.data(), r.data() + offset, size);
}

// Fills a default-constructed socket from the record and returns the record's version;
// the socket means nothing unless that is 1.
std::uint32_t decodeInto(Record r, DecodedSocket& s) {
  const std::uint32_t version = at<std::uint32_t>(r, k::kVersionOffset);
  if (version != k::kVersion) return version;

  // Either mark alone makes the socket IPv6; no other family value is looked at.
  const bool ipv6 = (at<std::uint8_t>(r, k::kFlags) & k::kFlagIpv6) != 0 ||
                    at<std::uint8_t>(r, k::kFamily) == k::kFamilyInet6;
  s.ipVersion = ipv6 ? 6 : 4;
  const std::uint8_t addressSize = ipv6 ? 16 : 4;
  address(r, k::kLocalAddr, addressSize, s.localAddr);
  address(r, k::kRemoteAddr, addressSize, s.remoteAddr);
  s.localPort = at<std::uint16_t>(r, k::kLocalPort);
  s.remotePort = at<std::uint16_t>(r, k::kRemotePort);

  s.state = at<std::uint32_t>(r, k::kState);
  s.tcpFlags = at<std::uint32_t>(r, k::kTcpFlags);
  s.sndCwnd = at<std::uint32_t>(r, k::kSndCwnd);
  s.sndSsthresh = at<std::uint32_t>(r, k::kSndSsthresh);
  s.sndWnd = at<std::uint32_t>(r, k::kSndWnd);
  s.rcvWnd = at<std::uint32_t>(r, k::kRcvWnd);
  s.maxseg = at<std::uint32_t>(r, k::kMaxseg);
  text(r, k::kCcAlgo, s.ccAlgo);
  text(r, k::kTcpStack, s.tcpStack);
  s.rttUs = at<std::uint32_t>(r, k::kRttUs);
  s.rttvarUs = at<std::uint32_t>(r, k::kRttvarUs);
  s.rtoUs = at<std::uint32_t>(r, k::kRtoUs);
  s.rttMinUs = at<std::uint32_t>(r, k::kRttMinUs);
  s.sndWscale = at<std::uint8_t>(r, k::kSndWscale);
  s.rcvWscale = at<std::uint8_t>(r, k::kRcvWscale);
  s.negotiatedOptions = at<std::uint8_t>(r, k::kNegotiatedOptions);
  s.sndNxt = at<std::uint32_t>(r, k::kSndNxt);
  s.sndUna = at<std::uint32_t>(r, k::kSndUna);
  s.sndMax = at<std::uint32_t>(r, k::kSndMax);
  s.rcvNxt = at<std::uint32_t>(r, k::kRcvNxt);
  s.rcvAdv = at<std::uint32_t>(r, k::kRcvAdv);
  s.rexmitPackets = at<std::uint32_t>(r, k::kRexmitPackets);
  s.oooPackets = at<std::uint32_t>(r, k::kOooPackets);
  s.zerowinProbes = at<std::uint32_t>(r, k::kZerowinProbes);
  s.dupacks = at<std::uint32_t>(r, k::kDupacks);
  s.sackBlocks = at<std::uint32_t>(r, k::kSackBlocks);
  s.ecnFlags = at<std::uint32_t>(r, k::kEcnFlags);
  s.ecnCeDelivered = at<std::uint32_t>(r, k::kEcnCeDelivered);
  s.ecnCeReceived = at<std::uint32_t>(r, k::kEcnCeReceived);
  s.dsackBytes = at<std::uint32_t>(r, k::kDsackBytes);
  s.dsackPackets = at<std::uint32_t>(r, k::kDsackPackets);
  s.tlpProbesSent = at<std::uint32_t>(r, k::kTlpProbesSent);
  s.tlpBytesSent = at<std::uint64_t>(r, k::kTlpBytesSent);
  s.timerRexmtMs = timer(r, k::kTimerRexmtMs);
  s.timerPersistMs = timer(r, k::kTimerPersistMs);
  s.timerKeepMs = timer(r, k::kTimerKeepMs);
  s.timer2mslMs = timer(r, k::kTimer2mslMs);
  s.timerDelackMs = timer(r, k::kTimerDelackMs);
  s.idleTimeMs = timer(r, k::kIdleTimeMs);
  s.sndBufUsed = at<std::uint32_t>(r, k::kSndBufUsed);
  s.sndBufHiwat = at<std::uint32_t>(r, k::kSndBufHiwat);
  s.rcvBufUsed = at<std::uint32_t>(r, k::kRcvBufUsed);
  s.rcvBufHiwat = at<std::uint32_t>(r, k::kRcvBufHiwat);
  s.socketId = at<std::uint64_t>(r, k::kSocketId);
  s.uid = at<std::uint32_t>(r, k::kUid);
  s.inpGencnt = at<std::uint64_t>(r, k::kInpGencnt);
  s.sources.push_back(DataSource::freebsdKld);
  return version;
}

}  // namespace

Result<DecodedSocket, CollectorError> decodeRecord(std::span<const std::byte, k::kSize> record) {
  DecodedSocket s;
  const std::uint32_t version = decodeInto(record, s);
  if (version != k::kVersion) {
    return fail(CollectorError{CollectorError::VersionMismatch{k::kVersion, version}});
  }
  return s;
}

Result<std::vector<DecodedSocket>, CollectorError> decodeRecords(std::span<const std::byte> bytes,
                                                                 std::size_t recordCount) {
  // The count comes from the caller; the bytes are what is really there.
  const std::size_t count = std::min(recordCount, bytes.size() / k::kSize);
  std::vector<DecodedSocket> sockets;
  // The sockets and their texts are sized by the device's data; memory the system cannot
  // grant ends the pass as a failed device read, like the read buffer itself.
  try {
    sockets.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      // Decoded in place: a socket is large, and moving it in would copy it once more.
      const std::uint32_t version =
          decodeInto(bytes.subspan(i * k::kSize).first<k::kSize>(), sockets.emplace_back());
      if (version != k::kVersion) {
        return fail(CollectorError{CollectorError::VersionMismatch{k::kVersion, version}});
      }
    }
  } catch (const std::bad_alloc&) {
    return fail(CollectorError{CollectorError::DeviceRead{IoError::os(ENOMEM)}});
  }
  return sockets;
}

}  // namespace wirelens
