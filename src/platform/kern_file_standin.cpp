// Built on hosts other than FreeBSD. A descriptor's /proc link reads "socket:[INODE]" for a
// socket, and INODE is what fstat reports as the socket's st_ino.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/freebsd/xfile_layout.h"
#include "platform/kern_file_standin.h"

namespace wirelens {
namespace {

template <typename T>
void writeLe(std::byte* entry, std::size_t offset, T value) {
  unsigned char raw[sizeof(T)];
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    raw[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(value) >> (8 * i));
  }
  std::memcpy(entry + offset, raw, sizeof(T));
}

// A whole directory entry name of decimal digits, as /proc names processes and descriptors.
template <typename T>
std::optional<T> parseNumber(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> socketInode(std::string_view link) {
  constexpr std::string_view kPrefix = "socket:[";
  if (!link.starts_with(kPrefix) || !link.ends_with(']')) return std::nullopt;
  return parseNumber<std::uint64_t>(link.substr(kPrefix.size(), link.size() - kPrefix.size() - 1));
}

void appendEntry(std::vector<std::byte>& table, std::int32_t pid, std::int32_t fd,
                 std::uint64_t inode) {
  const std::size_t at = table.size();
  table.resize(at + xfile_entry::kSize);
  std::byte* entry = table.data() + at;
  writeLe<std::uint64_t>(entry, xfile_entry::kXfSize, xfile_entry::kSize);
  writeLe<std::int32_t>(entry, xfile_entry::kXfPid, pid);
  writeLe<std::int32_t>(entry, xfile_entry::kXfFd, fd);
  writeLe<std::int16_t>(entry, xfile_entry::kXfType, xfile_entry::kTypeSocket);
  writeLe<std::uint64_t>(entry, xfile_entry::kXfData, inode);
}

void appendProcessSockets(std::vector<std::byte>& table, std::int32_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/fd";
  DIR* descriptors = ::opendir(path.c_str());
  if (descriptors == nullptr) return;  // gone, or not ours to read
  while (const dirent* item = ::readdir(descriptors)) {
    const std::optional<std::int32_t> fd = parseNumber<std::int32_t>(item->d_name);
    if (!fd) continue;
    char link[64];
    const ssize_t length = ::readlinkat(::dirfd(descriptors), item->d_name, link, sizeof link);
    if (length <= 0) continue;
    const auto inode = socketInode(std::string_view(link, static_cast<std::size_t>(length)));
    if (inode) appendEntry(table, pid, *fd, *inode);
  }
  ::closedir(descriptors);
}

}  // namespace

std::vector<std::byte> procOpenFileTable() {
  std::vector<std::byte> table;
  DIR* processes = ::opendir("/proc");
  if (processes == nullptr) return table;
  while (const dirent* item = ::readdir(processes)) {
    if (const auto pid = parseNumber<std::int32_t>(item->d_name)) appendProcessSockets(table, *pid);
  }
  ::closedir(processes);
  return table;
}

}  // namespace wirelens
