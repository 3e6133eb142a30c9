// Built on hosts other than FreeBSD, which have no sysctlbyname: every name is unknown.
#include <cerrno>

#include "platform/sysctl_call.h"

namespace wirelens {

int systemSysctlByName(const char*, void*, std::size_t*) {
  return ENOENT;
}

}  // namespace wirelens
