// Built on hosts other than FreeBSD, which have no sysctlbyname. A stand-in answers
// kern.file from /proc, so owner attribution works there too; every other name is unknown.
// It keeps the call's contract: no buffer gets the size needed, a short one gets ENOMEM. As
// the kernel does for its own table, the size answer carries room for a few more entries: the
// table here lists sockets only, so a handful of sockets opened between the caller's two
// calls would otherwise outgrow the caller's headroom.
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/kern_file_standin.h"
#include "platform/sysctl_call.h"

namespace wirelens {
namespace {

constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kSpareEntries = 64;

}  // namespace

int systemSysctlByName(const char* name, void* oldValue, std::size_t* oldLength) {
  if (name == nullptr || oldLength == nullptr) return EINVAL;
  if (std::string_view(name) != "kern.file") return ENOENT;
  const std::vector<std::byte> table = procOpenFileTable();
  if (oldValue == nullptr) {
    *oldLength = table.size() + kSpareEntries * kEntrySize;
    return 0;
  }
  // Nothing is stored when the whole table does not fit.
  if (*oldLength < table.size()) return ENOMEM;
  if (!table.empty()) std::memcpy(oldValue, table.data(), table.size());
  *oldLength = table.size();
  return 0;
}

}  // namespace wirelens
