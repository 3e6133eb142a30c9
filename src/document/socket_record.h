// SocketRecord: one socket's output record, 78 members in document order. The seven plain
// members are public fields (written unless they hold their default); the 71 optional
// members live in typed slots behind one presence mask, read and set by name through
// get/set/assign<RecordField::...>. The mask makes counting the members to write a popcount.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "records/decoded_socket.h"

namespace wirelens {

// The optional members, in document order.
enum class RecordField : std::uint8_t {
  socketId,
  tcpFlags,
  sndCwnd,
  sndSsthresh,
  sndWnd,
  rcvWnd,
  maxseg,
  ccAlgo,
  tcpStack,
  rttUs,
  rttvarUs,
  rtoUs,
  rttMinUs,
  rttCurUs,
  rttUpdateCount,
  sndNxt,
  sndUna,
  sndMax,
  rcvNxt,
  rcvAdv,
  sndWscale,
  rcvWscale,
  rexmitPackets,
  oooPackets,
  zerowinProbes,
  dupacks,
  sackBlocks,
  dsackBytes,
  dsackPackets,
  rxtShift,
  txBytes,
  rxBytes,
  txPackets,
  rxPackets,
  retransmitBytes,
  oooBytes,
  retransmitPacketsTotal,
  timerRexmtMs,
  timerPersistMs,
  timerKeepMs,
  timer2mslMs,
  timerDelackMs,
  idleTimeMs,
  sndBufUsed,
  sndBufHiwat,
  rcvBufUsed,
  rcvBufHiwat,
  pid,
  effectivePid,
  uid,
  fd,
  command,
  ecnFlags,
  ecnCeDelivered,
  ecnCeReceived,
  negotiatedOptions,
  tfoStateMacos,
  tfoNegotiated,
  inLossRecovery,
  reorderingDetected,
  tlpProbesSent,
  tlpBytesSent,
  encapsPort,
  inpGencnt,
  startTimeSecs,
  deltaRexmitPackets,
  deltaOooPackets,
  deltaZerowin,
  connectionAgeMs,
  deltaTxBytes,
  deltaRxBytes,
};
inline constexpr std::size_t kRecordFieldCount = 71;

enum class ValueKind : std::uint8_t { u32, i32, u64, i64, boolean, text };

constexpr ValueKind kindOf(RecordField field) {
  using enum RecordField;
  switch (field) {
    case socketId:
    case txBytes:
    case rxBytes:
    case txPackets:
    case rxPackets:
    case retransmitBytes:
    case oooBytes:
    case retransmitPacketsTotal:
    case tlpBytesSent:
    case inpGencnt:
    case connectionAgeMs:
      return ValueKind::u64;
    case deltaTxBytes:
    case deltaRxBytes:
      return ValueKind::i64;
    case pid:
    case effectivePid:
    case fd:
    case deltaRexmitPackets:
    case deltaOooPackets:
    case deltaZerowin:
      return ValueKind::i32;
    case tfoNegotiated:
    case inLossRecovery:
    case reorderingDetected:
      return ValueKind::boolean;
    case ccAlgo:
    case tcpStack:
    case command:
      return ValueKind::text;
    default:
      return ValueKind::u32;
  }
}

namespace record_detail {

template <ValueKind K>
struct KindValue;
template <>
struct KindValue<ValueKind::u32> {
  using type = std::uint32_t;
};
template <>
struct KindValue<ValueKind::i32> {
  using type = std::int32_t;
};
template <>
struct KindValue<ValueKind::u64> {
  using type = std::uint64_t;
};
template <>
struct KindValue<ValueKind::i64> {
  using type = std::int64_t;
};
template <>
struct KindValue<ValueKind::boolean> {
  using type = bool;
};
template <>
struct KindValue<ValueKind::text> {
  using type = std::string;
};

// Position of a field among the fields of its kind.
constexpr std::size_t slotOf(RecordField field) {
  std::size_t slot = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(field); ++i) {
    if (kindOf(static_cast<RecordField>(i)) == kindOf(field)) ++slot;
  }
  return slot;
}

constexpr std::size_t slotCount(ValueKind kind) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    if (kindOf(static_cast<RecordField>(i)) == kind) ++count;
  }
  return count;
}

static_assert(static_cast<std::size_t>(RecordField::deltaRxBytes) + 1 == kRecordFieldCount);

// A variable template makes sure the slot is worked out while compiling, not per access.
template <RecordField F>
inline constexpr std::size_t kSlot = slotOf(F);

}  // namespace record_detail

template <RecordField F>
using FieldValue = typename record_detail::KindValue<kindOf(F)>::type;

class SocketRecord {
 public:
  // Plain members. Address bytes are held as they are written (4 bytes IPv4, 16 IPv6).
  Address localAddr;
  Address remoteAddr;
  std::uint32_t localPort = 0;
  std::uint32_t remotePort = 0;
  std::int32_t ipVersion = 0;  // IpVersion
  std::int32_t state = 0;      // TcpState
  DataSourceList sources;      // DataSource codes

  bool has(RecordField field) const {
    const auto bit = static_cast<std::size_t>(field);
    return (present_[bit / 64] >> (bit % 64) & 1) != 0;
  }
  // Number of optional members that hold a value.
  std::size_t presentCount() const {
    return static_cast<std::size_t>(std::popcount(present_[0]) + std::popcount(present_[1]));
  }

  template <RecordField F>
  std::optional<FieldValue<F>> get() const {
    if (!has(F)) return std::nullopt;
    return value<F>();
  }
  // The held value; meaningful only when has(F).
  template <RecordField F>
  const FieldValue<F>& value() const {
    return slots<kindOf(F)>()[record_detail::kSlot<F>];
  }
  template <RecordField F>
  void set(FieldValue<F> v) {
    slots<kindOf(F)>()[record_detail::kSlot<F>] = std::move(v);
    mark(F, true);
  }
  template <RecordField F>
  void clear() {
    slots<kindOf(F)>()[record_detail::kSlot<F>] = FieldValue<F>{};
    mark(F, false);
  }
  // Takes over a source's set or unset status, widening the value to the member's type.
  template <RecordField F, typename U>
  void assign(const std::optional<U>& source) {
    if (source.has_value()) {
      set<F>(static_cast<FieldValue<F>>(*source));
    } else {
      clear<F>();
    }
  }

 private:
  template <ValueKind K>
  using Slots = std::array<typename record_detail::KindValue<K>::type, record_detail::slotCount(K)>;

  template <ValueKind K>
  Slots<K>& slots() {
    return std::get<static_cast<std::size_t>(K)>(slots_);
  }
  template <ValueKind K>
  const Slots<K>& slots() const {
    return std::get<static_cast<std::size_t>(K)>(slots_);
  }

  void mark(RecordField field, bool present) {
    const auto bit = static_cast<std::size_t>(field);
    const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
    present_[bit / 64] = present ? present_[bit / 64] | mask : present_[bit / 64] & ~mask;
  }

  // One array per kind, in ValueKind order.
  std::tuple<Slots<ValueKind::u32>, Slots<ValueKind::i32>, Slots<ValueKind::u64>,
             Slots<ValueKind::i64>, Slots<ValueKind::boolean>, Slots<ValueKind::text>>
      slots_{};
  std::array<std::uint64_t, 2> present_{};
};

}  // namespace wirelens
