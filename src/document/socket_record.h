// SocketRecord: one socket's output record, 78 members in document order, declared once in
// ObjectSchema<SocketRecord>::kMembers below. The seven plain members are public fields
// (SocketRecordFields); the 71 optional members live in typed slots behind one presence
// mask, read and set by key: record.set<"sndCwnd">(14480), record.get<"rttUs">(). The mask
// makes counting the members to write a popcount.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "document/member_table.h"
#include "document/value_types.h"

namespace wirelens {

// The plain members, in the order of their declaration below.
struct SocketRecordFields {
  Address localAddr;  // bytes as they are written (4 bytes IPv4, 16 IPv6)
  Address remoteAddr;
  std::uint32_t localPort = 0;
  std::uint32_t remotePort = 0;
  std::int32_t ipVersion = 0;  // IpVersion
  std::int32_t state = 0;      // TcpState
  DataSourceList sources;      // DataSource numbers
};

class SocketRecord;

template <>
struct ObjectSchema<SocketRecord> {
  using R = SocketRecordFields;
  using K = Kind;
  static constexpr std::string_view kTypeName = "SocketRecord";
  static constexpr std::tuple kMembers{
      Plain<K::bytes, &R::localAddr>{"localAddr"},
      Plain<K::bytes, &R::remoteAddr>{"remoteAddr"},
      Plain<K::u32, &R::localPort>{"localPort"},
      Plain<K::u32, &R::remotePort>{"remotePort"},
      Plain<K::enumeration, &R::ipVersion, IpVersion>{"ipVersion"},
      Slot<K::u64>{"socketId"},
      Plain<K::enumeration, &R::state, TcpState>{"state"},
      Slot<K::u32>{"tcpFlags"},
      Slot<K::u32>{"sndCwnd"},
      Slot<K::u32>{"sndSsthresh"},
      Slot<K::u32>{"sndWnd"},
      Slot<K::u32>{"rcvWnd"},
      Slot<K::u32>{"maxseg"},
      Slot<K::string>{"ccAlgo"},
      Slot<K::string>{"tcpStack"},
      Slot<K::u32>{"rttUs"},
      Slot<K::u32>{"rttvarUs"},
      Slot<K::u32>{"rtoUs"},
      Slot<K::u32>{"rttMinUs"},
      Slot<K::u32>{"rttCurUs"},
      Slot<K::u32>{"rttUpdateCount"},
      Slot<K::u32>{"sndNxt"},
      Slot<K::u32>{"sndUna"},
      Slot<K::u32>{"sndMax"},
      Slot<K::u32>{"rcvNxt"},
      Slot<K::u32>{"rcvAdv"},
      Slot<K::u32>{"sndWscale"},
      Slot<K::u32>{"rcvWscale"},
      Slot<K::u32>{"rexmitPackets"},
      Slot<K::u32>{"oooPackets"},
      Slot<K::u32>{"zerowinProbes"},
      Slot<K::u32>{"dupacks"},
      Slot<K::u32>{"sackBlocks"},
      Slot<K::u32>{"dsackBytes"},
      Slot<K::u32>{"dsackPackets"},
      Slot<K::u32>{"rxtShift"},
      Slot<K::u64>{"txBytes"},
      Slot<K::u64>{"rxBytes"},
      Slot<K::u64>{"txPackets"},
      Slot<K::u64>{"rxPackets"},
      Slot<K::u64>{"retransmitBytes"},
      Slot<K::u64>{"oooBytes"},
      Slot<K::u64>{"retransmitPacketsTotal"},
      Slot<K::u32>{"timerRexmtMs"},
      Slot<K::u32>{"timerPersistMs"},
      Slot<K::u32>{"timerKeepMs"},
      Slot<K::u32>{"timer2mslMs"},
      Slot<K::u32>{"timerDelackMs"},
      Slot<K::u32>{"idleTimeMs"},
      Slot<K::u32>{"sndBufUsed"},
      Slot<K::u32>{"sndBufHiwat"},
      Slot<K::u32>{"rcvBufUsed"},
      Slot<K::u32>{"rcvBufHiwat"},
      Slot<K::i32>{"pid"},
      Slot<K::i32>{"effectivePid"},
      Slot<K::u32>{"uid"},
      Slot<K::i32>{"fd"},
      Slot<K::string>{"command"},
      Slot<K::u32>{"ecnFlags"},
      Slot<K::u32>{"ecnCeDelivered"},
      Slot<K::u32>{"ecnCeReceived"},
      Slot<K::u32>{"negotiatedOptions"},
      Slot<K::u32>{"tfoStateMacos"},
      Slot<K::boolean>{"tfoNegotiated"},
      Slot<K::boolean>{"inLossRecovery"},
      Slot<K::boolean>{"reorderingDetected"},
      Slot<K::u32>{"tlpProbesSent"},
      Slot<K::u64>{"tlpBytesSent"},
      Slot<K::u32>{"encapsPort"},
      Slot<K::u64>{"inpGencnt"},
      Slot<K::u32>{"startTimeSecs"},
      Slot<K::i32>{"deltaRexmitPackets"},
      Slot<K::i32>{"deltaOooPackets"},
      Slot<K::i32>{"deltaZerowin"},
      Slot<K::u64>{"connectionAgeMs"},
      Slot<K::i64>{"deltaTxBytes"},
      Slot<K::i64>{"deltaRxBytes"},
      Plain<K::enumerationList, &R::sources, DataSource>{"sources"},
  };
};

namespace record_detail {

template <std::size_t... I>
constexpr std::array<Kind, sizeof...(I)> slotKinds(std::index_sequence<I...>) {
  // Members held as fields count as no slot kind (object never occurs in this table).
  return {(MemberAt<SocketRecord, I>::kHeldInSlot ? MemberAt<SocketRecord, I>::kKind
                                                  : Kind::object)...};
}
inline constexpr auto kSlotKinds =
    slotKinds(std::make_index_sequence<kMemberCount<SocketRecord>>{});

// Position of member i among the slots of its kind; the number of slots of a kind.
constexpr std::size_t slotOf(std::size_t i) {
  std::size_t slot = 0;
  for (std::size_t j = 0; j < i; ++j) slot += kSlotKinds[j] == kSlotKinds[i];
  return slot;
}
constexpr std::size_t slotCount(Kind kind) {
  std::size_t count = 0;
  for (Kind k : kSlotKinds) count += k == kind;
  return count;
}

// The slot kinds, in the order of the record's slot arrays.
inline constexpr std::array<Kind, 6> kSlotOrder = {Kind::u32, Kind::i32,     Kind::u64,
                                                   Kind::i64, Kind::boolean, Kind::string};
constexpr std::size_t slotArrayOf(Kind kind) {
  for (std::size_t i = 0; i < kSlotOrder.size(); ++i) {
    if (kSlotOrder[i] == kind) return i;
  }
  return kSlotOrder.size();
}
constexpr bool everySlotHasAnArray() {
  for (Kind k : kSlotKinds) {
    if (k != Kind::object && slotArrayOf(k) == kSlotOrder.size()) return false;
  }
  return true;
}
static_assert(everySlotHasAnArray(), "a slot member of a kind the record has no array for");

// The mask has one bit per member of the table; plain members never set theirs.
inline constexpr std::size_t kMaskWords = (kMemberCount<SocketRecord> + 63) / 64;
static_assert(kMaskWords == 2, "presentCount adds exactly two words");

template <Kind K>
using Slots = std::array<typename HeldAs<K>::type, slotCount(K)>;

}  // namespace record_detail

class SocketRecord : public SocketRecordFields {
 public:
  template <MemberName Name>
  static constexpr std::size_t kIndex = memberIndex<SocketRecord>(Name.view());
  template <MemberName Name>
  using ValueOf = typename HeldAs<MemberAt<SocketRecord, kIndex<Name>>::kKind>::type;

  // By key, for the optional members.
  template <MemberName Name>
  bool has() const {
    static_assert(MemberAt<SocketRecord, kIndex<Name>>::kHeldInSlot, "not an optional member");
    return hasSlot(kIndex<Name>);
  }
  template <MemberName Name>
  std::optional<ValueOf<Name>> get() const {
    if (!has<Name>()) return std::nullopt;
    return slot<kIndex<Name>>();
  }
  // The held value; meaningful only when has<Name>().
  template <MemberName Name>
  const ValueOf<Name>& value() const {
    return slot<kIndex<Name>>();
  }
  template <MemberName Name>
  void set(ValueOf<Name> v) {
    setSlot<kIndex<Name>>(std::move(v));
  }
  template <MemberName Name>
  void clear() {
    clearSlot<kIndex<Name>>();
  }
  // Takes over a source's set or unset status, widening the value to the member's type.
  template <MemberName Name, typename U>
  void assign(const std::optional<U>& source) {
    if (source.has_value()) {
      set<Name>(static_cast<ValueOf<Name>>(*source));
    } else {
      clear<Name>();
    }
  }

  // By place in the table, for the writers.
  bool hasSlot(std::size_t index) const { return (present_[index / 64] >> (index % 64) & 1) != 0; }
  template <std::size_t I>
  const auto& slot() const {
    static_assert(MemberAt<SocketRecord, I>::kHeldInSlot);
    constexpr Kind kKind = MemberAt<SocketRecord, I>::kKind;
    return std::get<record_detail::slotArrayOf(kKind)>(slots_)[record_detail::slotOf(I)];
  }
  template <std::size_t I>
  void setSlot(typename HeldAs<MemberAt<SocketRecord, I>::kKind>::type v) {
    slotRef<I>() = std::move(v);
    mark(I, true);
  }
  template <std::size_t I>
  void clearSlot() {
    slotRef<I>() = {};
    mark(I, false);
  }
  // Number of optional members that hold a value.
  std::size_t presentCount() const {
    return static_cast<std::size_t>(std::popcount(present_[0]) + std::popcount(present_[1]));
  }

 private:
  template <std::size_t I>
  auto& slotRef() {
    constexpr Kind kKind = MemberAt<SocketRecord, I>::kKind;
    return std::get<record_detail::slotArrayOf(kKind)>(slots_)[record_detail::slotOf(I)];
  }
  void mark(std::size_t index, bool present) {
    const std::uint64_t bit = std::uint64_t{1} << (index % 64);
    present_[index / 64] = present ? present_[index / 64] | bit : present_[index / 64] & ~bit;
  }

  // One array per slot kind, in kSlotOrder.
  std::tuple<record_detail::Slots<Kind::u32>, record_detail::Slots<Kind::i32>,
             record_detail::Slots<Kind::u64>, record_detail::Slots<Kind::i64>,
             record_detail::Slots<Kind::boolean>, record_detail::Slots<Kind::string>>
      slots_{};
  std::array<std::uint64_t, record_detail::kMaskWords> present_{};
};

}  // namespace wirelens
