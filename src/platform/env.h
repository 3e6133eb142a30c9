// Env: the one interface through which the collector reaches the operating system: the
// statistics device, sysctl, host name, clocks, sleep, standard output and error, and the
// text of OS errors. PosixEnv is the real one; tests script a fake. Calls report failure as
// the errno value, so the rules around them (retries, fallbacks) live in testable code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <limits>
#include <optional>

#include "errors/io_error.h"

namespace wirelens {

struct Timespec {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
};

// The most seconds one sleep request can carry on this platform.
inline constexpr std::int64_t kMaxSleepSeconds =
    static_cast<std::int64_t>(std::numeric_limits<std::time_t>::max());

// A count or descriptor (value >= 0) on success; otherwise error holds the errno value.
struct SysResult {
  std::int64_t value = 0;
  int error = 0;
  bool ok() const { return error == 0; }
};

inline SysResult sysValue(std::int64_t value) {
  return SysResult{value, 0};
}
inline SysResult sysError(int error) {
  return SysResult{-1, error};
}

// The byte count of a successful read or write that was given `size` bytes, or nothing when
// the count is one no such call can report: negative, or more than it was given. Callers
// advance by the count only through this check, so a wrong answer of an Env is a failure
// and never moves a cursor outside its buffer.
inline std::optional<std::size_t> checkedCount(const SysResult& result, std::size_t size) {
  if (result.value < 0 || static_cast<std::uint64_t>(result.value) > size) return std::nullopt;
  return static_cast<std::size_t>(result.value);
}

class Env : public OsErrorText {
 public:
  // The statistics device: open(path, O_RDONLY | O_CLOEXEC), ioctl, read, close.
  virtual SysResult openDevice(const char* path) = 0;
  virtual SysResult ioctl(int fd, std::uint64_t request, void* argument) = 0;
  virtual SysResult read(int fd, void* buffer, std::size_t size) = 0;
  virtual void close(int fd) = 0;

  // sysctlbyname(name, oldValue, oldLength, nullptr, 0): 0, or the errno value.
  virtual int sysctlByName(const char* name, void* oldValue, std::size_t* oldLength) = 0;

  // sysconf(_SC_HOST_NAME_MAX), -1 when there is no limit or the call fails.
  virtual long hostNameMax() = 0;
  // gethostname(buffer, length): 0, or the errno value.
  virtual int hostName(char* buffer, std::size_t length) = 0;

  // clock_gettime(CLOCK_MONOTONIC) and clock_gettime(CLOCK_REALTIME).
  virtual Timespec monotonicNow() = 0;
  virtual Timespec realtimeNow() = 0;
  // clock_nanosleep(CLOCK_MONOTONIC, 0, request, remaining): 0, or the error number; after
  // EINTR, remaining holds the time still to sleep.
  virtual int sleepMonotonic(const Timespec& request, Timespec& remaining) = 0;

  // write(1, ...) and write(2, ...): the bytes taken, or the errno value.
  virtual SysResult writeStdout(const void* data, std::size_t size) = 0;
  virtual SysResult writeStderr(const void* data, std::size_t size) = 0;

  // describe(code), from OsErrorText: the platform's text for an OS error (strerror_r).
};

}  // namespace wirelens
