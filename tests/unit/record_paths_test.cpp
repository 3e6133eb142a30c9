// The three ways a socket record reaches the text, compared byte for byte: the one-piece
// compact layout, the member-by-member compact path and the pretty path (read without its
// layout). And the one-piece layout's room bound, against a record with every member at
// its longest.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "document/socket_record_writer.h"
#include "memory_sinks.h"
#include "record_fixtures.h"

namespace wirelens {
namespace {

std::string onePiece(const SocketRecord& r) {
  StringSink sink;
  JsonWriter writer(sink, OutputStyle::compact);
  writeSocketRecord(writer, r);
  EXPECT_TRUE(writer.status().ok());
  return sink.text();
}

std::string memberByMember(const SocketRecord& r) {
  StringSink sink;
  JsonWriter writer(sink, OutputStyle::compact);
  writeSocketRecordMembers(writer, r);
  EXPECT_TRUE(writer.status().ok());
  return sink.text();
}

std::string pretty(const SocketRecord& r) {
  StringSink sink;
  JsonWriter writer(sink, OutputStyle::pretty);
  writeSocketRecord(writer, r);
  EXPECT_TRUE(writer.status().ok());
  return sink.text();
}

// Pretty text without the spaces and line feeds between tokens; a text's own bytes stay
// (its line feeds are escaped, so any raw one is layout).
std::string withoutLayout(const std::string& text) {
  std::string out;
  bool inString = false;
  bool escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == ' ' || c == '\n') {
      continue;
    }
    out += c;
  }
  return out;
}

template <typename V>
V pick(std::mt19937_64& random, std::initializer_list<V> extremes) {
  if (random() % 2 == 0) return *(extremes.begin() + random() % extremes.size());
  return static_cast<V>(random());
}

std::string randomText(std::mt19937_64& random) {
  static const std::string kBytes = "aZ09 -/.\"\\\n\t\x01\x1f\x7f\xc3\xa9";
  std::string text(random() % 24, ' ');
  for (char& c : text) c = kBytes[random() % kBytes.size()];
  return text;
}

Address randomAddress(std::mt19937_64& random) {
  Address a;
  const std::size_t sizes[] = {0, 4, 16};
  a.size = static_cast<std::uint8_t>(sizes[random() % 3]);
  for (std::size_t i = 0; i < a.size; ++i) a.bytes[i] = static_cast<std::uint8_t>(random());
  return a;
}

template <std::size_t I>
void randomSlot(SocketRecord& r, std::mt19937_64& random) {
  using M = MemberAt<SocketRecord, I>;
  if constexpr (M::kHeldInSlot) {
    if (random() % 3 == 0) return;
    constexpr Kind kKind = M::kKind;
    if constexpr (kKind == Kind::u32)
      r.setSlot<I>(pick<std::uint32_t>(random, {0, 9, 10, UINT32_MAX}));
    if constexpr (kKind == Kind::i32)
      r.setSlot<I>(pick<std::int32_t>(random, {0, -1, INT32_MIN, INT32_MAX}));
    if constexpr (kKind == Kind::u64)
      r.setSlot<I>(pick<std::uint64_t>(random, {0, 99999999, UINT64_MAX}));
    if constexpr (kKind == Kind::i64)
      r.setSlot<I>(pick<std::int64_t>(random, {0, -1, INT64_MIN, INT64_MAX}));
    if constexpr (kKind == Kind::boolean) r.setSlot<I>(random() % 2 == 0);
    if constexpr (kKind == Kind::string) r.setSlot<I>(randomText(random));
  }
}

template <std::size_t... I>
void randomSlots(SocketRecord& r, std::mt19937_64& random, std::index_sequence<I...>) {
  (randomSlot<I>(r, random), ...);
}

SocketRecord randomRecord(std::mt19937_64& random) {
  SocketRecord r;
  r.localAddr = randomAddress(random);
  r.remoteAddr = randomAddress(random);
  r.localPort = random() % 3 == 0 ? 0 : static_cast<std::uint32_t>(random() % 65536);
  r.remotePort = random() % 3 == 0 ? 0 : static_cast<std::uint32_t>(random());
  r.ipVersion = static_cast<std::int32_t>(random() % 3);
  r.state = static_cast<std::int32_t>(random() % 12);
  const std::size_t sources = random() % (DataSourceList::kCapacity + 1);
  for (std::size_t i = 0; i < sources; ++i)
    r.sources.push_back(static_cast<std::int32_t>(random() % 7));
  randomSlots(r, random, std::make_index_sequence<kMemberCount<SocketRecord>>{});
  return r;
}

TEST(SocketRecordPaths, OnePieceMemberByMemberAndPrettyWriteTheSameRecord) {
  std::vector<SocketRecord> records = {SocketRecord{}, testing::fullRecord()};
  std::mt19937_64 random(20240611);
  for (int i = 0; i < 500; ++i) records.push_back(randomRecord(random));
  for (std::size_t i = 0; i < records.size(); ++i) {
    const SocketRecord& r = records[i];
    // Within one piece, so that the comparison is with the one-piece layout.
    ASSERT_LE(compactRecordRoom(r), JsonWriter::kMaxValue) << i;
    const std::string compact = onePiece(r);
    EXPECT_EQ(memberByMember(r), compact) << i;
    EXPECT_EQ(withoutLayout(pretty(r)), compact) << i;
  }
  EXPECT_EQ(onePiece(SocketRecord{}), "{}");
}

// A sink whose room is exactly `room` bytes, followed by guard bytes that must stay as they
// are; asking for more room fails.
class WindowSink final : public ByteSink {
 public:
  static constexpr std::size_t kGuard = 256;
  explicit WindowSink(std::size_t room) : buffer_(room + kGuard, kGuardByte) {
    cursor_ = buffer_.data();
    end_ = buffer_.data() + room;
    room_ = room;
  }
  std::string text() const {
    return std::string(buffer_.data(), static_cast<std::size_t>(cursor_ - buffer_.data()));
  }
  bool guardIntact() const {
    for (std::size_t i = room_; i < buffer_.size(); ++i) {
      if (buffer_[i] != kGuardByte) return false;
    }
    return true;
  }

 protected:
  std::optional<IoError> takeSlow(const char*, std::size_t) override {
    return IoError::fixed("out of room");
  }
  std::optional<IoError> makeRoom(std::size_t) override { return IoError::fixed("out of room"); }

 private:
  static constexpr char kGuardByte = '\x5a';
  std::vector<char> buffer_;
  std::size_t room_ = 0;
};

template <std::size_t I>
void longestSlot(SocketRecord& r, const std::string& text) {
  using M = MemberAt<SocketRecord, I>;
  if constexpr (M::kHeldInSlot) {
    constexpr Kind kKind = M::kKind;
    if constexpr (kKind == Kind::u32) r.setSlot<I>(UINT32_MAX);
    if constexpr (kKind == Kind::i32) r.setSlot<I>(INT32_MIN);
    if constexpr (kKind == Kind::u64) r.setSlot<I>(UINT64_MAX);
    if constexpr (kKind == Kind::i64) r.setSlot<I>(INT64_MIN);
    if constexpr (kKind == Kind::boolean) r.setSlot<I>(false);
    if constexpr (kKind == Kind::string) r.setSlot<I>(text);
  }
}

template <std::size_t... I>
void longestSlots(SocketRecord& r, const std::string& text, std::index_sequence<I...>) {
  (longestSlot<I>(r, text), ...);
}

TEST(SocketRecordPaths, RoomBoundCoversEveryMemberAtItsLongest) {
  Address v6;
  v6.size = 16;
  v6.bytes.fill(0xff);
  for (const std::string& text : {std::string(), std::string(40, '\x01'), std::string(40, 'a')}) {
    SocketRecord r;
    r.localAddr = v6;
    r.remoteAddr = v6;
    r.localPort = UINT32_MAX;
    r.remotePort = UINT32_MAX;
    r.ipVersion = number(IpVersion::v6);  // the longest name of each enumeration
    r.state = number(TcpState::synReceived);
    while (r.sources.push_back(DataSource::macosTcpConnInfo)) {
    }
    longestSlots(r, text, std::make_index_sequence<kMemberCount<SocketRecord>>{});
    ASSERT_EQ(memberCount(r), 78u);

    const std::size_t room = compactRecordRoom(r);
    ASSERT_LE(room, JsonWriter::kMaxValue);
    WindowSink sink(room);
    JsonWriter writer(sink, OutputStyle::compact);
    writeSocketRecord(writer, r);
    ASSERT_TRUE(writer.status().ok()) << "the record needed more than its room of " << room;
    EXPECT_TRUE(sink.guardIntact()) << "the layout wrote past its room of " << room;
    EXPECT_EQ(sink.text(), memberByMember(r));
    EXPECT_LE(sink.text().size(), room);
  }
}

}  // namespace
}  // namespace wirelens
