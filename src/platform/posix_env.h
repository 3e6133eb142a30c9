// PosixEnv: the Env of the real program, straight onto the POSIX calls.
#pragma once

#include "platform/env.h"

namespace wirelens {

class PosixEnv final : public Env {
 public:
  SysResult openDevice(const char* path) override;
  SysResult ioctl(int fd, std::uint64_t request, void* argument) override;
  SysResult read(int fd, void* buffer, std::size_t size) override;
  void close(int fd) override;
  int sysctlByName(const char* name, void* oldValue, std::size_t* oldLength) override;
  long hostNameMax() override;
  int hostName(char* buffer, std::size_t length) override;
  Timespec monotonicNow() override;
  Timespec realtimeNow() override;
  int sleepMonotonic(const Timespec& request, Timespec& remaining) override;
  SysResult writeStdout(const void* data, std::size_t size) override;
  SysResult writeStderr(const void* data, std::size_t size) override;
  std::string describe(int code) const override;
};

// Process set-up before anything else runs: SIGPIPE ignored, so a vanished reader shows up
// as EPIPE; descriptors 0, 1 and 2 opened on /dev/null when they are not open.
void prepareProcess();

}  // namespace wirelens
