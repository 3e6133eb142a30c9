// ScriptEnv: the base of the fuzz targets' environments. Every platform call fails (or
// reads zero) unless a target overrides it; OS errors render as "error N". Kept apart from
// the unit tests' FakeEnv so that a target pays for no logging it does not check.
#pragma once

#include <cerrno>
#include <string>

#include "platform/env.h"

namespace wirelens::fuzz {

class ScriptEnv : public Env {
 public:
  SysResult openDevice(const char*) override { return sysError(ENOENT); }
  SysResult ioctl(int, std::uint64_t, void*) override { return sysError(ENOTTY); }
  SysResult read(int, void*, std::size_t) override { return sysValue(0); }
  void close(int) override {}
  int sysctlByName(const char*, void*, std::size_t*) override { return ENOENT; }
  long hostNameMax() override { return 255; }
  int hostName(char*, std::size_t) override { return EFAULT; }
  Timespec monotonicNow() override { return {}; }
  Timespec realtimeNow() override { return {}; }
  int sleepMonotonic(const Timespec&, Timespec&) override { return 0; }
  SysResult writeStdout(const void*, std::size_t size) override {
    return sysValue(static_cast<std::int64_t>(size));
  }
  SysResult writeStderr(const void*, std::size_t size) override {
    return sysValue(static_cast<std::int64_t>(size));
  }
  std::string describe(int code) const override { return "error " + std::to_string(code); }
};

// The errors a platform call plausibly returns, for targets to pick from.
inline constexpr int kPlausibleErrors[] = {EINTR, EIO,    ENOMEM, EACCES, EPERM,  ENXIO,
                                           EBADF, EFAULT, EAGAIN, EPIPE,  ENOSPC, ENOENT};

}  // namespace wirelens::fuzz
