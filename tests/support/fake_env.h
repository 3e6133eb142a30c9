// FakeEnv: a scripted Env for tests. Every call is logged in order in `calls`, one line
// each; answers come from the hooks below, which tests replace. Defaults: no device (ENOENT),
// no sysctl names (ENOENT), host name "testhost", clocks reading from queues (then the last
// reading again), sleeps succeed, standard output and error take every byte.
#pragma once

#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/env.h"

namespace wirelens::testing {

class FakeEnv : public Env {
 public:
  std::vector<std::string> calls;

  std::function<SysResult(const std::string& path)> onOpen = [](const std::string&) {
    return sysError(ENOENT);
  };
  std::function<SysResult(int fd, std::uint64_t request, void* argument)> onIoctl =
      [](int, std::uint64_t, void*) { return sysError(ENOTTY); };
  std::function<SysResult(int fd, void* buffer, std::size_t size)> onRead =
      [](int, void*, std::size_t) { return sysValue(0); };
  std::function<int(const std::string& name, void* oldValue, std::size_t* oldLength)> onSysctl =
      [](const std::string&, void*, std::size_t*) { return ENOENT; };
  std::function<long()> onHostNameMax = [] { return 255L; };
  std::function<int(char* buffer, std::size_t length)> onHostName;  // default: "testhost"

  // Clock readings, consumed front first; when a queue runs dry its last reading repeats.
  std::deque<Timespec> monotonic;
  std::deque<Timespec> realtime;

  // Every sleep request in order; sleepAnswers are consumed front first (default: 0).
  struct SleepAnswer {
    int error = 0;
    Timespec remaining;
  };
  std::vector<Timespec> sleeps;
  std::deque<SleepAnswer> sleepAnswers;

  // Standard output: every write's size in order, and the bytes taken.
  std::function<SysResult(const void* data, std::size_t size)> onWriteStdout;  // default: all
  // Standard error likewise; a scripted hook keeps what it takes with takeStderr.
  std::function<SysResult(const void* data, std::size_t size)> onWriteStderr;  // default: all
  std::vector<std::size_t> stdoutWrites;
  std::string stdoutBytes;
  std::string stderrBytes;

  // Descriptors handed out by openDevice and not closed yet.
  std::vector<int> openDescriptors;

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
  // "text N": tests see which code was rendered without depending on the host's wording.
  std::string describe(int code) const override { return "text " + std::to_string(code); }

  // Appends the bytes actually taken by a scripted onWriteStdout or onWriteStderr.
  void takeStdout(const void* data, std::size_t size);
  void takeStderr(const void* data, std::size_t size);

 private:
  Timespec lastMonotonic_;
  Timespec lastRealtime_;
};

// "S.NNNNNNNNN", the form sleeps and clock readings take in `calls`.
std::string formatTimespec(const Timespec& t);

}  // namespace wirelens::testing
