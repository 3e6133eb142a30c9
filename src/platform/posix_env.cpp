#include "platform/posix_env.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/sysctl_call.h"

namespace wirelens {
namespace {

// strerror_r comes in two forms: XSI (FreeBSD) returns int and fills the buffer; GNU (glibc
// with _GNU_SOURCE, which g++ defines) returns the text, which may not be the buffer.
[[maybe_unused]] std::string strerrorText(int result, const char* buffer, int code) {
  if (result != 0) return "Unknown error " + std::to_string(code);
  return buffer;
}
[[maybe_unused]] std::string strerrorText(const char* result, const char*, int) {
  return result;
}

SysResult fromCall(long long result) {
  if (result < 0) return sysError(errno);
  return sysValue(result);
}

Timespec now(clockid_t clock) {
  struct timespec ts {};
  ::clock_gettime(clock, &ts);
  return Timespec{static_cast<std::int64_t>(ts.tv_sec), static_cast<std::int64_t>(ts.tv_nsec)};
}

}  // namespace

SysResult PosixEnv::openDevice(const char* path) {
  return fromCall(::open(path, O_RDONLY | O_CLOEXEC));
}

SysResult PosixEnv::ioctl(int fd, std::uint64_t request, void* argument) {
  return fromCall(::ioctl(fd, static_cast<unsigned long>(request), argument));
}

SysResult PosixEnv::read(int fd, void* buffer, std::size_t size) {
  return fromCall(::read(fd, buffer, size));
}

void PosixEnv::close(int fd) {
  ::close(fd);
}

int PosixEnv::sysctlByName(const char* name, void* oldValue, std::size_t* oldLength) {
  return systemSysctlByName(name, oldValue, oldLength);
}

long PosixEnv::hostNameMax() {
  return ::sysconf(_SC_HOST_NAME_MAX);
}

int PosixEnv::hostName(char* buffer, std::size_t length) {
  return ::gethostname(buffer, length) == 0 ? 0 : errno;
}

Timespec PosixEnv::monotonicNow() {
  return now(CLOCK_MONOTONIC);
}
Timespec PosixEnv::realtimeNow() {
  return now(CLOCK_REALTIME);
}

int PosixEnv::sleepMonotonic(const Timespec& request, Timespec& remaining) {
  struct timespec want {};
  want.tv_sec = static_cast<time_t>(request.seconds);
  want.tv_nsec = static_cast<long>(request.nanoseconds);
  struct timespec left {};
  const int result = ::clock_nanosleep(CLOCK_MONOTONIC, 0, &want, &left);
  remaining =
      Timespec{static_cast<std::int64_t>(left.tv_sec), static_cast<std::int64_t>(left.tv_nsec)};
  return result;
}

SysResult PosixEnv::writeStdout(const void* data, std::size_t size) {
  return fromCall(::write(1, data, size));
}
SysResult PosixEnv::writeStderr(const void* data, std::size_t size) {
  return fromCall(::write(2, data, size));
}

std::string PosixEnv::describe(int code) const {
  char buffer[256] = {};
  return strerrorText(::strerror_r(code, buffer, sizeof buffer), buffer, code);
}

void prepareProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor, which is this one.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

}  // namespace wirelens
