// The platform's sysctlbyname, reading only (no new value): 0 on success, otherwise the
// errno value. On FreeBSD this is the system call; elsewhere a stand-in of ours answers.
#pragma once

#include <cstddef>

namespace wirelens {

int systemSysctlByName(const char* name, void* oldValue, std::size_t* oldLength);

}  // namespace wirelens
