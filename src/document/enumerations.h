// The names of the four enumerations of the output document (numbers in value_types.h). A
// number is named only when it is written, and a number without a name ends the document.
// Names are kept as ready JSON strings, quotes included, and need no escaping.
// EnumerationOf<E> gives an enumeration's type name and name table to the schema tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "document/value_types.h"

namespace wirelens {

// Names of the numbers 0 to size-1; an empty entry is a number without a name, and so is
// every number outside the table.
class NameTable {
 public:
  template <std::size_t N>
  constexpr explicit NameTable(const std::array<std::string_view, N>& quoted)
      : quoted_(quoted.data()), size_(N) {}

  // Numbers 0 to size()-1 may have names.
  constexpr std::size_t size() const { return size_; }
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
  // The longest name, quotes included.
  constexpr std::size_t longestQuoted() const {
    std::size_t longest = 0;
    for (std::size_t n = 0; n < size_; ++n) {
      if (quoted_[n].size() > longest) longest = quoted_[n].size();
    }
    return longest;
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

// An enumeration's type name (as the schema calls it) and its names.
template <typename Enum>
struct EnumerationOf;
template <>
struct EnumerationOf<TcpState> {
  static constexpr std::string_view kTypeName = "TcpState";
  static constexpr const NameTable& kNames = kTcpStateNames;
};
template <>
struct EnumerationOf<IpVersion> {
  static constexpr std::string_view kTypeName = "IpVersion";
  static constexpr const NameTable& kNames = kIpVersionNames;
};
template <>
struct EnumerationOf<Platform> {
  static constexpr std::string_view kTypeName = "Platform";
  static constexpr const NameTable& kNames = kPlatformNames;
};
template <>
struct EnumerationOf<DataSource> {
  static constexpr std::string_view kTypeName = "DataSource";
  static constexpr const NameTable& kNames = kDataSourceNames;
};

}  // namespace wirelens
