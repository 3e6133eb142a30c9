// The four enumerations of the output document and their name tables. Documents hold them
// as signed 32-bit numbers so that any number can reach the writer; a number is named only
// when it is written, and a number without a name ends the document. Names are kept as
// ready JSON strings, quotes included, and need no escaping.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

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

template <typename Enum>
constexpr std::int32_t number(Enum value) {
  return static_cast<std::int32_t>(value);
}

// Names of the numbers 0 to size-1; an empty entry is a number without a name, and so is
// every number outside the table.
class NameTable {
 public:
  template <std::size_t N>
  constexpr explicit NameTable(const std::array<std::string_view, N>& quoted)
      : quoted_(quoted.data()), size_(N) {}

  // The name as a JSON string with its quotes, or an empty view when there is none.
  constexpr std::string_view quoted(std::int32_t number) const {
    if (number < 0 || static_cast<std::size_t>(number) >= size_) return {};
    return quoted_[number];
  }
  // The bare name, or nothing.
  constexpr std::optional<std::string_view> name(std::int32_t number) const {
    const std::string_view q = quoted(number);
    if (q.empty()) return std::nullopt;
    return q.substr(1, q.size() - 2);
  }

 private:
  const std::string_view* quoted_;
  std::size_t size_;
};

namespace enum_detail {
// Number 0 of these three is a plain member's default, never written, so it has no name.
inline constexpr std::array<std::string_view, 12> kTcpState = {
    "",
    "\"TCP_STATE_CLOSED\"",
    "\"TCP_STATE_LISTEN\"",
    "\"TCP_STATE_SYN_SENT\"",
    "\"TCP_STATE_SYN_RECEIVED\"",
    "\"TCP_STATE_ESTABLISHED\"",
    "\"TCP_STATE_CLOSE_WAIT\"",
    "\"TCP_STATE_FIN_WAIT_1\"",
    "\"TCP_STATE_CLOSING\"",
    "\"TCP_STATE_LAST_ACK\"",
    "\"TCP_STATE_FIN_WAIT_2\"",
    "\"TCP_STATE_TIME_WAIT\"",
};
inline constexpr std::array<std::string_view, 3> kIpVersion = {"", "\"IP_VERSION_4\"",
                                                               "\"IP_VERSION_6\""};
inline constexpr std::array<std::string_view, 3> kPlatform = {"", "\"PLATFORM_MACOS\"",
                                                              "\"PLATFORM_FREEBSD\""};
inline constexpr std::array<std::string_view, 7> kDataSource = {
    "\"DATA_SOURCE_UNKNOWN\"",
    "\"DATA_SOURCE_MACOS_PCBLIST_N\"",
    "\"DATA_SOURCE_MACOS_TCP_CONN_INFO\"",
    "\"DATA_SOURCE_FREEBSD_PCBLIST\"",
    "\"DATA_SOURCE_FREEBSD_TCP_INFO\"",
    "\"DATA_SOURCE_FREEBSD_KLD\"",
    "\"DATA_SOURCE_KERN_FILE\"",
};
}  // namespace enum_detail

inline constexpr NameTable kTcpStateNames{enum_detail::kTcpState};
inline constexpr NameTable kIpVersionNames{enum_detail::kIpVersion};
inline constexpr NameTable kPlatformNames{enum_detail::kPlatform};
inline constexpr NameTable kDataSourceNames{enum_detail::kDataSource};

inline std::optional<std::string_view> tcpStateName(std::int32_t n) {
  return kTcpStateNames.name(n);
}
inline std::optional<std::string_view> ipVersionName(std::int32_t n) {
  return kIpVersionNames.name(n);
}
inline std::optional<std::string_view> platformName(std::int32_t n) {
  return kPlatformNames.name(n);
}
inline std::optional<std::string_view> dataSourceName(std::int32_t n) {
  return kDataSourceNames.name(n);
}

}  // namespace wirelens
