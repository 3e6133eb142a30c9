// readSysctl: the current value of a sysctl, by dotted name, as owned bytes. The value is
// probed for its size, then read once into a buffer a quarter larger; it is returned as the
// kernel stored it (string values keep their terminating zero). Nothing is kept between calls.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "errors/collector_errors.h"
#include "platform/env.h"
#include "platform/freebsd/zeroed_buffer.h"
#include "result.h"

namespace wirelens {

struct SysctlValue {
  ZeroedBuffer storage;    // capacity bytes; zero beyond length
  std::size_t length = 0;  // bytes the kernel stored, never above the capacity

  std::size_t capacity() const { return storage.size(); }
  std::span<const std::byte> bytes() const { return storage.bytes().first(length); }
};

// Fails with ReadFailed{name, source}: source is the wrapped NulByteError when the name holds
// a zero byte (no call is made), else the errno of the failing call, or ENOMEM when the
// buffer cannot be had or the value grew past the headroom between the two calls, or the
// fixed kInvalidSysctlLength when the read reports more bytes than the buffer holds.
[[nodiscard]] Result<SysctlValue, SysctlError> readSysctl(Env& env, std::string_view name);

}  // namespace wirelens
