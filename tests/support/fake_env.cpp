#include "fake_env.h"

#include <cstdio>
#include <cstring>

#include "errors/error_messages.h"

namespace wirelens::testing {

std::string formatTimespec(const Timespec& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lld.%09lld", static_cast<long long>(t.seconds),
                static_cast<long long>(t.nanoseconds));
  return buffer;
}

SysResult FakeEnv::openDevice(const char* path) {
  calls.push_back(std::string("open ") + path);
  SysResult r = onOpen(path);
  if (r.ok()) openDescriptors.push_back(static_cast<int>(r.value));
  return r;
}

SysResult FakeEnv::ioctl(int fd, std::uint64_t request, void* argument) {
  calls.push_back("ioctl " + std::to_string(fd) + " " + hexForm(request));
  return onIoctl(fd, request, argument);
}

SysResult FakeEnv::read(int fd, void* buffer, std::size_t size) {
  calls.push_back("read " + std::to_string(fd) + " " + std::to_string(size));
  return onRead(fd, buffer, size);
}

void FakeEnv::close(int fd) {
  calls.push_back("close " + std::to_string(fd));
  for (auto it = openDescriptors.begin(); it != openDescriptors.end(); ++it) {
    if (*it == fd) {
      openDescriptors.erase(it);
      break;
    }
  }
}

int FakeEnv::sysctlByName(const char* name, void* oldValue, std::size_t* oldLength) {
  calls.push_back(std::string("sysctl ") + name + " " +
                  (oldValue == nullptr ? std::string("probe") : std::to_string(*oldLength)));
  return onSysctl(name, oldValue, oldLength);
}

long FakeEnv::hostNameMax() {
  calls.push_back("sysconf HOST_NAME_MAX");
  return onHostNameMax();
}

int FakeEnv::hostName(char* buffer, std::size_t length) {
  calls.push_back("gethostname " + std::to_string(length));
  if (onHostName) return onHostName(buffer, length);
  std::strncpy(buffer, "testhost", length);
  return 0;
}

Timespec FakeEnv::monotonicNow() {
  calls.push_back("monotonic");
  if (!monotonic.empty()) {
    lastMonotonic_ = monotonic.front();
    monotonic.pop_front();
  }
  return lastMonotonic_;
}

Timespec FakeEnv::realtimeNow() {
  calls.push_back("realtime");
  if (!realtime.empty()) {
    lastRealtime_ = realtime.front();
    realtime.pop_front();
  }
  return lastRealtime_;
}

int FakeEnv::sleepMonotonic(const Timespec& request, Timespec& remaining) {
  calls.push_back("sleep " + formatTimespec(request));
  sleeps.push_back(request);
  if (sleepAnswers.empty()) return 0;
  SleepAnswer answer = sleepAnswers.front();
  sleepAnswers.pop_front();
  remaining = answer.remaining;
  return answer.error;
}

void FakeEnv::takeStdout(const void* data, std::size_t size) {
  stdoutBytes.append(static_cast<const char*>(data), size);
}

SysResult FakeEnv::writeStdout(const void* data, std::size_t size) {
  calls.push_back("write " + std::to_string(size));
  stdoutWrites.push_back(size);
  if (onWriteStdout) return onWriteStdout(data, size);
  takeStdout(data, size);
  return sysValue(static_cast<std::int64_t>(size));
}

void FakeEnv::takeStderr(const void* data, std::size_t size) {
  stderrBytes.append(static_cast<const char*>(data), size);
}

SysResult FakeEnv::writeStderr(const void* data, std::size_t size) {
  if (onWriteStderr) return onWriteStderr(data, size);
  takeStderr(data, size);
  return sysValue(static_cast<std::int64_t>(size));
}

}  // namespace wirelens::testing
