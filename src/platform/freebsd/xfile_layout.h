// The amd64 layout of one open-file table entry (kern.file), FreeBSD 12 and later: the five
// fields owner attribution reads, little-endian, offsets in bytes from the entry start. On
// FreeBSD builds the offsets are checked against the system's own declaration.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wirelens::xfile_entry {

inline constexpr std::size_t kSize = 128;  // the whole entry as the system writes it

// clang-format off
inline constexpr std::size_t kXfSize = 0;   // u64, length of every entry
inline constexpr std::size_t kXfPid  = 8;   // i32, holding process
inline constexpr std::size_t kXfFd   = 16;  // i32, descriptor number in that process
inline constexpr std::size_t kXfType = 32;  // i16, descriptor type
inline constexpr std::size_t kXfData = 56;  // u64, for a socket: its kernel address
// clang-format on

// An entry must reach the end of xf_data, the last field read, to be decoded.
inline constexpr std::size_t kMinimumSize = kXfData + 8;
inline constexpr std::int16_t kTypeSocket = 2;

}  // namespace wirelens::xfile_entry
