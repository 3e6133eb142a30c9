// What the emulated statistics device answers, pass by pass. A scenario is text, one
// directive a line, '#' starting a comment:
//
// clang-format off
//   pass                              begins the plan of the next pass; plans are used in order
//   default                           begins the plan of every pass after the listed ones
//                                     (without it the last listed pass repeats)
//   open /dev/wirelens-full EINTR ok  answers to successive opens of that path in the pass:
//                                     "ok" or an errno name; the last repeats (default: ok)
//   header version=1 count=12         the header answer (count default: the pass's records)
//   ioctl ENOTTY                      the header request fails
//   read EIO                          the read fails
//   bytes 321                         the read returns this many bytes (at most the buffer),
//                                     cut from the pass's records over and over, or zeros
//   records FILE                      appends a capture file's records (path relative to the
//                                     scenario's directory)
//   socket state=LISTEN local=[::]:22 appends one record described inline
//   synthetic 500 seed 7              appends generated records
// clang-format on
//
// Lines before the first "pass" or "default" describe the first pass (a "pass" after them
// begins the second). Without "bytes", a read returns as many whole records as fit the
// caller's buffer; a second read in the same pass returns 0. A pass ends where the
// collector's would: a new pass begins with the next open of the first path, or with a
// repeated open of a path that already had its final (non-EINTR) answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelens::testing {

inline constexpr std::string_view kFullDevicePath = "/dev/wirelens-full";
inline constexpr std::string_view kDevicePath = "/dev/wirelens";

struct PassPlan {
  std::vector<int> fullOpens;    // errno per successive open of the first path, 0 = success
  std::vector<int> secondOpens;  // the same for the second path
  std::uint32_t headerVersion = 1;
  std::optional<std::uint32_t> headerCount;
  int ioctlError = 0;
  int readError = 0;
  std::optional<std::uint64_t> byteCount;
  std::string records;  // whole 320-byte records

  std::uint32_t recordCountInHeader() const;
  // Answer to open number `attempt` (0-based) of a path within this pass.
  int openAnswer(bool fullPath, std::size_t attempt) const;
};

struct Scenario {
  std::vector<PassPlan> passes;  // empty only when `beyond` covers every pass
  std::optional<PassPlan> beyond;

  // `pass` counts from 1.
  const PassPlan& planFor(std::size_t pass) const;
};

struct ParsedScenario {
  Scenario scenario;
  std::string error;  // "line N: ..." on failure
};

// Gives a file's bytes, or nothing when it cannot be read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// Relative capture paths are taken from `directory`.
ParsedScenario parseScenario(std::string_view text, const std::string& directory,
                             const FileReader& readFile);

}  // namespace wirelens::testing
