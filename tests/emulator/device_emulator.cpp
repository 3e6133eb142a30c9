// LD_PRELOAD library that stands in for the statistics device. Opens of the two device paths
// are answered from the scenario named by WIRELENS_EMULATOR_SCENARIO (a descriptor on
// /dev/null stands for the device); ioctl, read and close on those descriptors follow the
// pass's plan, and every other call goes to the next definition in the process. Each call
// on the device is logged, one line, to WIRELENS_EMULATOR_LOG when that is set.
//
// Passes: an open of a device path belongs to the current pass unless no pass has begun, that
// path has already had a final answer (anything but EINTR) in this pass, or it is the first
// path and the second one has already been tried; then it begins the next pass.
//
// At load time the library opens a TCP socket of its own in the process; records whose
// socketId is the own-socket marker report that socket's inode instead, so that owner
// attribution in the process finds the process itself.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>

#include "errno_names.h"
#include "record_image.h"
#include "scenario.h"

namespace wirelens::testing {
namespace {

constexpr unsigned long kHeaderRequest = 0x40105401;
constexpr std::size_t kHeaderSize = 16;
// Descriptors the library keeps for itself sit high, clear of the low numbers that the
// program expects to be its own (a program started with descriptor 1 closed reopens it).
constexpr int kOwnSocketFloor = 10;
constexpr int kLogFloor = 100;

template <typename Function>
Function nextDefinition(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

struct RealCalls {
  using Open = int (*)(const char*, int, ...);
  using OpenAt = int (*)(int, const char*, int, ...);
  using Ioctl = int (*)(int, unsigned long, ...);
  using Read = ssize_t (*)(int, void*, size_t);
  using Close = int (*)(int);
  Open open = nextDefinition<Open>("open");
  Open open64 = nextDefinition<Open>("open64");
  OpenAt openat = nextDefinition<OpenAt>("openat");
  OpenAt openat64 = nextDefinition<OpenAt>("openat64");
  Ioctl ioctl = nextDefinition<Ioctl>("ioctl");
  Read read = nextDefinition<Read>("read");
  Close close = nextDefinition<Close>("close");
};

const RealCalls& real() {
  static const RealCalls calls;
  return calls;
}

std::optional<std::string> readWholeFile(const std::string& path) {
  int fd = real().open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  ssize_t got;
  while ((got = real().read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, got);
  real().close(fd);
  if (got < 0) return std::nullopt;
  return bytes;
}

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

int moveAbove(int fd, int floor) {
  if (fd < 0 || fd >= floor) return fd;
  int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, floor);
  real().close(fd);
  return moved;
}

std::string describeFlags(int flags) {
  std::string text = (flags & O_ACCMODE) == O_RDONLY   ? "O_RDONLY"
                     : (flags & O_ACCMODE) == O_WRONLY ? "O_WRONLY"
                                                       : "O_RDWR";
  int rest = flags & ~O_ACCMODE;
  if (rest & O_CLOEXEC) text += "|O_CLOEXEC";
  rest &= ~O_CLOEXEC;
  // glibc adds O_LARGEFILE in its 64-bit open variants; it says nothing about the caller.
  rest &= ~O_LARGEFILE;
  if (rest != 0) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "|0x%x", static_cast<unsigned>(rest));
    text += hex;
  }
  return text;
}

class DeviceEmulator {
 public:
  static constexpr const char* kOutOfMemory = "out of memory loading the scenario";

  DeviceEmulator() {
    if (const char* logPath = std::getenv("WIRELENS_EMULATOR_LOG"))
      logFd_ = moveAbove(real().open(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644),
                         kLogFloor);
    ownSocketFd_ = moveAbove(::socket(AF_INET, SOCK_STREAM, 0), kOwnSocketFloor);
    struct stat info;
    if (ownSocketFd_ >= 0 && ::fstat(ownSocketFd_, &info) == 0) ownSocketInode_ = info.st_ino;

    const char* scenarioPath = std::getenv("WIRELENS_EMULATOR_SCENARIO");
    if (scenarioPath == nullptr || *scenarioPath == '\0') {
      scenarioError_ = "WIRELENS_EMULATOR_SCENARIO is not set";
      return;
    }
    std::optional<std::string> text = readWholeFile(scenarioPath);
    if (!text) {
      scenarioError_ = std::string("cannot read scenario ") + scenarioPath;
      return;
    }
    std::string path = scenarioPath;
    std::size_t slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    // Under a memory limit the scenario's records may not fit; the library then says so
    // and refuses the device, rather than ending the process before it starts.
    try {
      ParsedScenario parsed = parseScenario(*text, directory, readWholeFile);
      if (!parsed.error.empty()) {
        scenarioError_ = path + ": " + parsed.error;
        return;
      }
      scenario_ = std::move(parsed.scenario);
    } catch (const std::bad_alloc&) {
      scenarioError_ = kOutOfMemory;
    }
  }

  int open(const char* path, int flags) {
    std::lock_guard lock(mutex_);
    bool full = kFullDevicePath == path;
    std::string entry = std::string("open ") + path + " " + describeFlags(flags) + " -> ";
    if (!scenarioError_.empty()) {
      if (!errorReported_) writeAll(2, "wirelens-emulator: " + scenarioError_ + "\n");
      errorReported_ = true;
      return failOpen(entry, EIO);
    }
    bool newPass = pass_ == 0 || (full ? fullFinal_ : secondFinal_) || (full && secondTried_);
    if (newPass) {
      ++pass_;
      fullAttempts_ = secondAttempts_ = 0;
      fullFinal_ = secondFinal_ = secondTried_ = false;
      log("pass " + std::to_string(pass_));
    }
    std::size_t& attempts = full ? fullAttempts_ : secondAttempts_;
    int answer = scenario_.planFor(pass_).openAnswer(full, attempts++);
    if (answer != EINTR) (full ? fullFinal_ : secondFinal_) = true;
    if (!full) secondTried_ = true;
    if (answer != 0) return failOpen(entry, answer);

    int fd = real().open("/dev/null", O_RDONLY | (flags & O_CLOEXEC));
    if (fd < 0) return failOpen(entry, errno);
    devices_[fd] = OpenDevice{pass_, 0};
    log(entry + "fd " + std::to_string(fd));
    return fd;
  }

  bool emulates(int fd) {
    std::lock_guard lock(mutex_);
    return devices_.count(fd) != 0;
  }

  // A descriptor number the process got back from elsewhere is no longer the device.
  void forget(int fd) {
    if (fd < 0) return;
    std::lock_guard lock(mutex_);
    devices_.erase(fd);
  }

  int ioctl(int fd, unsigned long request, void* argument) {
    std::lock_guard lock(mutex_);
    const PassPlan& plan = scenario_.planFor(devices_.at(fd).pass);
    std::string entry = "ioctl " + std::to_string(fd) + " " + hex(request) + " -> ";
    int error = plan.ioctlError != 0 ? plan.ioctlError : request != kHeaderRequest ? ENOTTY : 0;
    if (error != 0) {
      log(entry + errnoName(error));
      errno = error;
      return -1;
    }
    RecordImage header{};
    storeLe(header, 0, plan.headerVersion, 4);
    storeLe(header, 8, plan.recordCountInHeader(), 4);
    std::memcpy(argument, header.data(), kHeaderSize);
    log(entry + "0");
    return 0;
  }

  ssize_t read(int fd, void* buffer, std::size_t size) {
    std::lock_guard lock(mutex_);
    OpenDevice& device = devices_.at(fd);
    const PassPlan& plan = scenario_.planFor(device.pass);
    std::string entry = "read " + std::to_string(fd) + " " + std::to_string(size) + " -> ";
    // The device delivers its snapshot once per open; later reads see the end.
    bool first = device.reads++ == 0;
    if (first && plan.readError != 0) {
      log(entry + errnoName(plan.readError));
      errno = plan.readError;
      return -1;
    }
    std::size_t count = 0;
    if (first) count = plan.byteCount ? fill(plan, buffer, size) : copyRecords(plan, buffer, size);
    log(entry + std::to_string(count));
    return static_cast<ssize_t>(count);
  }

  void close(int fd) {
    std::lock_guard lock(mutex_);
    devices_.erase(fd);
    log("close " + std::to_string(fd));
  }

 private:
  struct OpenDevice {
    std::size_t pass;
    std::size_t reads;
  };

  static std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
  }

  int failOpen(const std::string& entry, int error) {
    log(entry + errnoName(error));
    errno = error;
    return -1;
  }

  void log(const std::string& line) {
    if (logFd_ >= 0) writeAll(logFd_, line + "\n");
  }

  std::size_t copyRecords(const PassPlan& plan, void* buffer, std::size_t size) {
    std::size_t count =
        std::min(plan.records.size(), size / kernel_record::kSize * kernel_record::kSize);
    std::memcpy(buffer, plan.records.data(), count);
    substituteOwnSocket(static_cast<unsigned char*>(buffer), count);
    return count;
  }

  // "bytes N": the records over and over, so that a long raw read still holds records.
  std::size_t fill(const PassPlan& plan, void* buffer, std::size_t size) {
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(*plan.byteCount, size));
    auto* out = static_cast<unsigned char*>(buffer);
    if (plan.records.empty()) {
      std::memset(out, 0, count);
      return count;
    }
    for (std::size_t done = 0; done < count;) {
      std::size_t piece = std::min(plan.records.size(), count - done);
      std::memcpy(out + done, plan.records.data(), piece);
      done += piece;
    }
    substituteOwnSocket(out, count);
    return count;
  }

  void substituteOwnSocket(unsigned char* bytes, std::size_t count) {
    constexpr std::size_t kIdEnd = kernel_record::kSocketId + 8;
    for (std::size_t at = 0; at + kIdEnd <= count; at += kernel_record::kSize) {
      unsigned char* id = bytes + at + kernel_record::kSocketId;
      if (loadLe(id, 8) != kOwnSocketMarker) continue;
      for (std::size_t i = 0; i < 8; ++i) id[i] = (ownSocketInode_ >> (8 * i)) & 0xff;
    }
  }

  std::mutex mutex_;
  Scenario scenario_;
  std::string scenarioError_;
  bool errorReported_ = false;
  int logFd_ = -1;
  int ownSocketFd_ = -1;
  std::uint64_t ownSocketInode_ = 0;
  std::unordered_map<int, OpenDevice> devices_;
  std::size_t pass_ = 0;
  std::size_t fullAttempts_ = 0;
  std::size_t secondAttempts_ = 0;
  bool fullFinal_ = false;
  bool secondFinal_ = false;
  bool secondTried_ = false;
};

// Never destroyed: the process may still close or read descriptors while it exits.
DeviceEmulator& emulator() {
  static DeviceEmulator* instance = new DeviceEmulator;
  return *instance;
}

__attribute__((constructor)) void loadEmulator() {
  emulator();
}

bool isDevicePath(const char* path) {
  return path != nullptr && (kFullDevicePath == path || kDevicePath == path);
}

mode_t modeArgument(int flags, va_list arguments) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, unsigned))
                                              : 0;
}

int passedOn(int fd) {
  emulator().forget(fd);
  return fd;
}

}  // namespace
}  // namespace wirelens::testing

using wirelens::testing::emulator;
using wirelens::testing::isDevicePath;
using wirelens::testing::modeArgument;
using wirelens::testing::passedOn;
using wirelens::testing::real;

extern "C" {

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  if (isDevicePath(path)) return emulator().open(path, flags);
  return passedOn(real().open(path, flags, mode));
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  if (isDevicePath(path)) return emulator().open(path, flags);
  return passedOn(real().open64(path, flags, mode));
}

int openat(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  if (isDevicePath(path)) return emulator().open(path, flags);
  return passedOn(real().openat(directory, path, flags, mode));
}

int openat64(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  if (isDevicePath(path)) return emulator().open(path, flags);
  return passedOn(real().openat64(directory, path, flags, mode));
}

// The checked entry points that fortified callers reach instead of open and read.
int __open_2(const char* path, int flags) {
  return open(path, flags);
}
int __open64_2(const char* path, int flags) {
  return open64(path, flags);
}

int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  if (emulator().emulates(fd)) return emulator().ioctl(fd, request, argument);
  return real().ioctl(fd, request, argument);
}

ssize_t read(int fd, void* buffer, size_t size) {
  if (emulator().emulates(fd)) return emulator().read(fd, buffer, size);
  return real().read(fd, buffer, size);
}

ssize_t __read_chk(int fd, void* buffer, size_t size, size_t /*bufferSize*/) {
  return read(fd, buffer, size);
}

int close(int fd) {
  if (emulator().emulates(fd)) emulator().close(fd);
  return real().close(fd);
}

}  // extern "C"
