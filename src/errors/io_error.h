// IoError: the failure of a platform call or of a write, in one of three forms: an OS error
// code, a fixed message, or a wrapped error (the NUL byte found in a sysctl name). The text
// of an OS error comes from the platform, so rendering takes an OsErrorText.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace wirelens {

// Renders an OS error code as the platform's own message ("No such file or directory").
class OsErrorText {
 public:
  virtual ~OsErrorText() = default;
  virtual std::string describe(int code) const = 0;
};

// A name handed to a C interface held a NUL byte at `position` (zero-based).
struct NulByteError {
  std::uint64_t position = 0;
};

// Fixed texts for a call whose count no real call can report (negative, or more than it
// was given): the count is not used, and the call counts as failed.
inline constexpr std::string_view kInvalidWriteCount = "write returned an invalid byte count";
inline constexpr std::string_view kInvalidReadCount = "read returned an invalid byte count";
inline constexpr std::string_view kInvalidSysctlLength = "sysctl returned an invalid length";

struct IoError {
  struct Os {
    std::int32_t code = 0;
  };
  struct Fixed {
    std::string_view text;  // always a string literal
  };
  struct Wrapped {
    NulByteError inner;
  };
  std::variant<Os, Fixed, Wrapped> form;

  static IoError os(int code) { return IoError{Os{static_cast<std::int32_t>(code)}}; }
  static IoError fixed(std::string_view text) { return IoError{Fixed{text}}; }
  static IoError wrapped(NulByteError inner) { return IoError{Wrapped{inner}}; }

  friend bool operator==(const IoError& a, const IoError& b);
};

}  // namespace wirelens
