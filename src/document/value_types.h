// The value types that socket records and the output document share, each defined once:
// an address as it is written (4 or 16 bytes), the short list of data sources a socket names,
// and the four enumerations with their numbers. Documents hold enumerations as signed 32-bit
// numbers, so that any number can reach the writer; names are the document's (enumerations.h).
// This header includes nothing of the program, so every layer can build on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wirelens {

enum class TcpState : std::int32_t {
  none = 0,
  closed = 1,
  listen = 2,
  synSent = 3,
  synReceived = 4,
  established = 5,
  closeWait = 6,
  finWait1 = 7,
  closing = 8,
  lastAck = 9,
  finWait2 = 10,
  timeWait = 11,
};

enum class IpVersion : std::int32_t { none = 0, v4 = 1, v6 = 2 };

enum class Platform : std::int32_t { none = 0, macos = 1, freebsd = 2 };

enum class DataSource : std::int32_t {
  unknown = 0,
  macosPcblistN = 1,
  macosTcpConnInfo = 2,
  freebsdPcblist = 3,
  freebsdTcpInfo = 4,
  freebsdKld = 5,
  kernFile = 6,
};

// The number a document holds for an enumeration value.
template <typename Enum>
constexpr std::int32_t number(Enum value) {
  return static_cast<std::int32_t>(value);
}

// A short list of DataSource numbers held inline (a socket names one or two sources).
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
  bool push_back(DataSource source) { return push_back(number(source)); }
  bool contains(std::int32_t code) const {
    for (std::int32_t c : *this)
      if (c == code) return true;
    return false;
  }
  bool contains(DataSource source) const { return contains(number(source)); }
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

}  // namespace wirelens
