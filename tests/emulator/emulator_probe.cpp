// wirelens_emulator_probe: makes the statistics-device calls the collector makes, pass after
// pass, and prints one line per step, so that tests can check the emulator without the
// collector. Usage: wirelens_emulator_probe [--passes N] [--buffer BYTES] [--sockets]
// (default: 1 pass; the collector's buffer size for the header's record count). --sockets
// ends with the descriptor and inode of every socket the process holds.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errno_names.h"
#include "number_text.h"
#include "record_image.h"
#include "scenario.h"

namespace {

using wirelens::testing::errnoName;
using wirelens::testing::loadLe;
namespace kr = wirelens::kernel_record;

constexpr unsigned long kHeaderRequest = 0x40105401;

int openRetryingEintr(std::string_view path) {
  int fd;
  do {
    fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
    std::printf("open %.*s -> %s\n", static_cast<int>(path.size()), path.data(),
                fd >= 0 ? "ok" : errnoName(errno).c_str());
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::uint64_t collectorBufferSize(std::uint64_t recordCount) {
  return std::max<std::uint64_t>((recordCount + recordCount / 5) * kr::kSize, 45056) + 20480;
}

void printRecords(const unsigned char* bytes, std::size_t count) {
  for (std::size_t at = 0; at + kr::kSize <= count; at += kr::kSize) {
    const unsigned char* r = bytes + at;
    std::printf("record version=%u state=%u localPort=%u socketId=%llu\n",
                static_cast<unsigned>(loadLe(r + kr::kVersionOffset, 4)),
                static_cast<unsigned>(loadLe(r + kr::kState, 4)),
                static_cast<unsigned>(loadLe(r + kr::kLocalPort, 2)),
                static_cast<unsigned long long>(loadLe(r + kr::kSocketId, 8)));
  }
}

void runPass(std::optional<std::uint64_t> bufferSize) {
  int fd = openRetryingEintr(wirelens::testing::kFullDevicePath);
  if (fd < 0) fd = openRetryingEintr(wirelens::testing::kDevicePath);
  if (fd < 0) return;
  unsigned char header[16] = {};
  if (::ioctl(fd, kHeaderRequest, header) < 0) {
    std::printf("ioctl -> %s\n", errnoName(errno).c_str());
    ::close(fd);
    return;
  }
  std::uint64_t recordCount = loadLe(header + 8, 4);
  std::printf("header version=%u count=%llu\n", static_cast<unsigned>(loadLe(header, 4)),
              static_cast<unsigned long long>(recordCount));
  std::vector<unsigned char> buffer(bufferSize.value_or(collectorBufferSize(recordCount)));
  ssize_t got = ::read(fd, buffer.data(), buffer.size());
  if (got < 0) {
    std::printf("read %zu -> %s\n", buffer.size(), errnoName(errno).c_str());
  } else {
    std::printf("read %zu -> %zd\n", buffer.size(), got);
    printRecords(buffer.data(), static_cast<std::size_t>(got));
  }
  ::close(fd);
}

// The inodes of the sockets this process holds, as owner attribution would find them.
void printOwnSockets() {
  std::error_code error;
  std::vector<std::pair<int, std::string>> sockets;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (!error && target.starts_with("socket:["))
      sockets.emplace_back(std::stoi(entry.path().filename().string()),
                           target.substr(8, target.size() - 9));
  }
  std::sort(sockets.begin(), sockets.end());
  for (const auto& [fd, inode] : sockets) std::printf("socket fd=%d inode=%s\n", fd, inode.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t passes = 1;
  std::optional<std::uint64_t> bufferSize;
  bool listSockets = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    std::optional<std::uint64_t> value;
    if (i + 1 < argc) value = wirelens::testing::parseUnsigned(argv[i + 1], UINT32_MAX);
    if (name == "--sockets") {
      listSockets = true;
    } else if (name == "--passes" && value) {
      passes = *value;
      ++i;
    } else if (name == "--buffer" && value) {
      bufferSize = *value;
      ++i;
    } else {
      std::fprintf(stderr,
                   "usage: wirelens_emulator_probe [--passes N] [--buffer BYTES] [--sockets]\n");
      return 2;
    }
  }
  for (std::uint64_t pass = 1; pass <= passes; ++pass) {
    std::printf("-- pass %llu\n", static_cast<unsigned long long>(pass));
    runPass(bufferSize);
  }
  if (listSockets) printOwnSockets();
  return 0;
}
