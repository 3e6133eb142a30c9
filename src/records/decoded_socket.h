// DecodedSocket: one kernel socket record in platform-neutral form. Every kernel value is
// optional; the record decoder sets what it reads, owner attribution sets pid and fd and
// extends sources, record assembly turns it into a SocketRecord.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace wirelens {

// DataSource codes this collector produces.
inline constexpr std::int32_t kSourceFreebsdKld = 5;
inline constexpr std::int32_t kSourceKernFile = 6;

// A short list of DataSource codes held inline (a socket names one or two sources).
class DataSourceList {
 public:
  static constexpr std::size_t kCapacity = 8;
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::int32_t operator[](std::size_t i) const { return items_[i]; }
  const std::int32_t* begin() const { return items_.data(); }
  const std::int32_t* end() const { return items_.data() + size_; }
  // False, and nothing added, when the list is full.
  bool push_back(std::int32_t code) {
    if (size_ == kCapacity) return false;
    items_[size_++] = code;
    return true;
  }
  bool contains(std::int32_t code) const {
    for (std::int32_t c : *this)
      if (c == code) return true;
    return false;
  }
  friend bool operator==(const DataSourceList& a, const DataSourceList& b) {
    if (a.size_ != b.size_) return false;
    for (std::size_t i = 0; i < a.size_; ++i)
      if (a.items_[i] != b.items_[i]) return false;
    return true;
  }

 private:
  std::array<std::int32_t, kCapacity> items_{};
  std::uint8_t size_ = 0;
};

// An IPv4 (4 bytes) or IPv6 (16 bytes) address in network order; size 0 when there is none.
struct Address {
  std::array<std::uint8_t, 16> bytes{};
  std::uint8_t size = 0;
};

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
