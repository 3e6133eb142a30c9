// Scripts FakeEnv's sysctl hook to serve fixed values the way the kernel does: a probe gets
// the size, a read of at least that size gets the bytes, a shorter read gets ENOMEM, and an
// unknown name gets ENOENT.
#pragma once

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

#include "fake_env.h"
#include "le_bytes.h"

namespace wirelens::testing {

inline void serveSysctlValues(FakeEnv& env, std::map<std::string, ByteBuffer> values) {
  env.onSysctl = [values = std::move(values)](const std::string& name, void* oldValue,
                                              std::size_t* oldLength) {
    const auto found = values.find(name);
    if (found == values.end()) return ENOENT;
    const ByteBuffer& value = found->second;
    if (oldValue == nullptr) {
      *oldLength = value.size();
      return 0;
    }
    if (*oldLength < value.size()) return ENOMEM;
    if (!value.empty()) std::memcpy(oldValue, value.data(), value.size());
    *oldLength = value.size();
    return 0;
  };
}

}  // namespace wirelens::testing
