#include "document/socket_record_writer.h"

#include <array>
#include <cstring>
#include <string_view>

#include "document/enumerations.h"
#include "json/base64.h"
#include "json/number_format.h"
#include "json/string_escape.h"

namespace wirelens {
namespace {

using Record = SocketRecord;
inline constexpr std::size_t kMembers = kMemberCount<Record>;
using MemberIndices = std::make_index_sequence<kMembers>;

// An enumeration name as its JSON text, quotes included, in a fixed block that is copied
// whole, like a key.
struct NameBlock {
  static constexpr std::size_t kSize = 40;
  char text[kSize]{};
  std::uint8_t size = 0;
};

template <typename Enum>
constexpr auto nameBlocks() {
  constexpr const NameTable& kNames = EnumerationOf<Enum>::kNames;
  std::array<NameBlock, kNames.size()> blocks{};
  for (std::size_t n = 0; n < kNames.size(); ++n) {
    const std::string_view quoted = kNames.quoted(static_cast<std::int32_t>(n));
    // A name longer than the block stops the compilation: the write would fall outside it.
    for (std::size_t i = 0; i < quoted.size(); ++i) blocks[n].text[i] = quoted[i];
    blocks[n].size = static_cast<std::uint8_t>(quoted.size());
  }
  return blocks;
}
template <typename Enum>
inline constexpr auto kNameBlocks = nameBlocks<Enum>();

// A number has a block when the table names it; 0 of the plain members is never written.
template <typename Enum>
bool named(std::int32_t number) {
  return number >= 0 && static_cast<std::size_t>(number) < kNameBlocks<Enum>.size() &&
         kNameBlocks<Enum>[static_cast<std::size_t>(number)].size != 0;
}

// Room for a value of each kind at its longest; texts are counted per byte at run time.
constexpr std::size_t valueRoom(Kind kind) {
  switch (kind) {
    case Kind::u32:
      return kUint32Room;
    case Kind::i32:
      return kInt32Room;
    case Kind::u64:
      return 2 + kUint64Room;
    case Kind::i64:
      return 2 + kInt64Room;
    case Kind::boolean:
      return 5;
    case Kind::string:
      return 2;
    case Kind::bytes:
      return 2 + base64Size(sizeof(Address::bytes));
    case Kind::enumeration:
      return NameBlock::kSize;
    case Kind::enumerationList:
      return 2 + DataSourceList::kCapacity * (NameBlock::kSize + 1);
    default:
      return 0;  // no other kind is laid out in one piece
  }
}

// The longest text of each kind, written out, for the bound to be checked against.
constexpr std::size_t longestText(Kind kind) {
  switch (kind) {
    case Kind::u32:
      return std::string_view("4294967295").size();
    case Kind::i32:
      return std::string_view("-2147483648").size();
    case Kind::u64:
      return std::string_view("\"18446744073709551615\"").size();
    case Kind::i64:
      return std::string_view("\"-9223372036854775808\"").size();
    case Kind::boolean:
      return std::string_view("false").size();
    case Kind::string:
      return std::string_view("\"\"").size();  // plus the escaped bytes
    case Kind::bytes:
      return std::string_view("\"AAAAAAAAAAAAAAAAAAAAAA==\"").size();
    case Kind::enumeration:
      return std::max({kTcpStateNames.longestQuoted(), kIpVersionNames.longestQuoted(),
                       kPlatformNames.longestQuoted(), kDataSourceNames.longestQuoted()});
    case Kind::enumerationList:
      return 2 + DataSourceList::kCapacity * (kDataSourceNames.longestQuoted() + 1) - 1;
    default:
      return 0;
  }
}

template <std::size_t... I>
constexpr bool layableInOnePiece(std::index_sequence<I...>) {
  return (... && (valueRoom(MemberAt<Record, I>::kKind) != 0));
}
static_assert(layableInOnePiece(MemberIndices{}), "a record member the one-piece layout lacks");

// Every member at its longest, texts aside: its comma, its key and its value; plus the
// braces and, since a key or name block is copied whole, the block that may reach past the
// last member.
template <bool kLongest, std::size_t... I>
constexpr std::size_t sumOfMembers(std::index_sequence<I...>) {
  const auto room = [](std::size_t keySize, Kind kind) {
    return 1 + keySize + (kLongest ? longestText(kind) : valueRoom(kind));
  };
  return (std::size_t{0} + ... +
          room(memberAt<Record, I>().key.size(), MemberAt<Record, I>::kKind));
}
constexpr std::size_t kBlockReach = std::max(NameBlock::kSize, JsonKey::kBlock);
constexpr std::size_t kFixedRoom = 2 + kBlockReach + sumOfMembers<false>(MemberIndices{});

// The bound covers every member at its longest, and the block each copy may reach beyond.
static_assert(kFixedRoom >= 2 + sumOfMembers<true>(MemberIndices{}) + kBlockReach);
static_assert(valueRoom(Kind::enumeration) >= longestText(Kind::enumeration));
static_assert(valueRoom(Kind::enumerationList) >= longestText(Kind::enumerationList));
// A record with short texts is laid out in one piece.
static_assert(kFixedRoom + 64 * kEscapeGrowth <= JsonWriter::kMaxValue);

// The compact text of one record laid out with no room check of its own: each member is a
// comma (kept only after the first), the whole key block and the value. The caller provides
// compactRecordRoom() bytes.
class CompactRecord {
 public:
  explicit CompactRecord(char* p) : p_(p) {}
  char* end() const { return p_; }
  [[gnu::always_inline]] void put(char c) { *p_++ = c; }

  [[gnu::always_inline]] void key(const JsonKey& k) {
    *p_ = ',';
    p_ += first_ ? 0 : 1;
    first_ = false;
    std::memcpy(p_, k.block(), JsonKey::kBlock);
    p_ += k.size();
  }
  [[gnu::always_inline]] void name(const NameBlock& b) {
    std::memcpy(p_, b.text, NameBlock::kSize);
    p_ += b.size;
  }
  [[gnu::always_inline]] void value(std::uint32_t v) {
    // Counters, flags and stopped timers are mostly a single digit. The test is made at each
    // member, where it is well predicted; the layout is forced inline (here and above), as
    // out of line it would keep the cursor in memory instead of a register.
    if (v < 10) {
      *p_++ = static_cast<char>('0' + v);
    } else {
      p_ = putUint32(p_, v);
    }
  }
  [[gnu::always_inline]] void value(std::int32_t v) { p_ = putInt32(p_, v); }
  [[gnu::always_inline]] void value(std::uint64_t v) {
    *p_ = '"';
    p_ = putUint64(p_ + 1, v);
    *p_++ = '"';
  }
  [[gnu::always_inline]] void value(std::int64_t v) {
    *p_ = '"';
    p_ = putInt64(p_ + 1, v);
    *p_++ = '"';
  }
  [[gnu::always_inline]] void value(bool v) {
    std::memcpy(p_, v ? "true" : "false", v ? 4 : 5);
    p_ += v ? 4 : 5;
  }
  [[gnu::always_inline]] void value(const std::string& v) {
    *p_ = '"';
    p_ = putEscaped(p_ + 1, v);
    *p_++ = '"';
  }
  [[gnu::always_inline]] void value(const Address& a) {
    *p_ = '"';
    p_ = putBase64(p_ + 1, a.bytes.data(), a.size);
    *p_++ = '"';
  }

 private:
  char* p_;
  bool first_ = true;
};

template <std::size_t I>
[[gnu::always_inline]] inline void putMember(CompactRecord& out, const Record& r) {
  if (!isWritten<Record, I>(r)) return;
  using M = MemberAt<Record, I>;
  out.key(memberAt<Record, I>().key);
  const auto& v = valueOf<Record, I>(r);
  if constexpr (M::kKind == Kind::enumeration) {
    out.name(kNameBlocks<typename M::Type>[static_cast<std::size_t>(v)]);
  } else if constexpr (M::kKind == Kind::enumerationList) {
    out.put('[');
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (i != 0) out.put(',');
      out.name(kNameBlocks<typename M::Type>[static_cast<std::size_t>(v[i])]);
    }
    out.put(']');
  } else {
    out.value(v);
  }
}

template <std::size_t... I>
[[gnu::always_inline]] inline char* putCompactRecord(char* p, const Record& r,
                                                     std::index_sequence<I...>) {
  CompactRecord out(p);
  out.put('{');
  (putMember<I>(out, r), ...);
  out.put('}');
  return out.end();
}

// Whether every enumeration number that will be written has a name.
template <std::size_t I>
bool memberNamed(const Record& r) {
  using M = MemberAt<Record, I>;
  if constexpr (M::kKind == Kind::enumeration) {
    return !isWritten<Record, I>(r) || named<typename M::Type>(valueOf<Record, I>(r));
  } else if constexpr (M::kKind == Kind::enumerationList) {
    for (std::int32_t n : valueOf<Record, I>(r)) {
      if (!named<typename M::Type>(n)) return false;
    }
    return true;
  } else {
    return true;
  }
}
template <std::size_t... I>
bool allNamed(const Record& r, std::index_sequence<I...>) {
  return (... && memberNamed<I>(r));
}

template <std::size_t I>
std::size_t textBytes(const Record& r) {
  if constexpr (MemberAt<Record, I>::kKind == Kind::string) {
    return isWritten<Record, I>(r) ? valueOf<Record, I>(r).size() : 0;
  } else {
    return 0;
  }
}
template <std::size_t... I>
std::size_t allTextBytes(const Record& r, std::index_sequence<I...>) {
  return (std::size_t{0} + ... + textBytes<I>(r));
}

}  // namespace

std::size_t compactRecordRoom(const SocketRecord& r) {
  return kFixedRoom + kEscapeGrowth * allTextBytes(r, MemberIndices{});
}

std::size_t memberCount(const SocketRecord& r) {
  return countWritten(r);
}

void writeSocketRecordMembers(JsonWriter& writer, const SocketRecord& r) {
  writeObject(writer, r);
}

void writeSocketRecord(JsonWriter& writer, const SocketRecord& r) {
  // The common case, in one piece. A record with an unnamed number goes member by member, so
  // that it stops exactly before that member's key.
  if (writer.style() == OutputStyle::compact && allNamed(r, MemberIndices{})) {
    const std::size_t room = compactRecordRoom(r);
    if (room <= JsonWriter::kMaxValue) {
      writer.compactValue(room, [&r](char* p) { return putCompactRecord(p, r, MemberIndices{}); });
      return;
    }
  }
  writeSocketRecordMembers(writer, r);
}

}  // namespace wirelens
