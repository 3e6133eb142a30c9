// Built on FreeBSD only. No feature-test macros here: they hide parts of <sys/sysctl.h>.
// <sys/types.h> first, in its own block so that include sorting cannot move it.
#include <sys/types.h>

#include <sys/sysctl.h>

#include <cerrno>

#include "platform/sysctl_call.h"

namespace wirelens {

int systemSysctlByName(const char* name, void* oldValue, std::size_t* oldLength) {
  if (::sysctlbyname(name, oldValue, oldLength, nullptr, 0) == 0) return 0;
  return errno;
}

}  // namespace wirelens
