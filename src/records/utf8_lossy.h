// Lossy UTF-8 decoding for texts the kernel hands over as raw bytes (record names, the host
// name, the OS release). Well-formed sequences are copied unchanged; each maximal ill-formed
// subpart becomes one U+FFFD, so the result is always valid UTF-8 and never fails.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace wirelens {

std::string decodeUtf8Lossy(std::span<const std::byte> bytes);

}  // namespace wirelens
