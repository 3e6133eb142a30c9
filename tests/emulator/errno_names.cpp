#include "errno_names.h"

#include <cerrno>

#include "number_text.h"

namespace wirelens::testing {
namespace {

struct ErrnoName {
  std::string_view name;
  int code;
};

constexpr ErrnoName kNames[] = {
    {"EPERM", EPERM},           {"ENOENT", ENOENT},       {"EINTR", EINTR},   {"EIO", EIO},
    {"ENXIO", ENXIO},           {"EBADF", EBADF},         {"EAGAIN", EAGAIN}, {"ENOMEM", ENOMEM},
    {"EACCES", EACCES},         {"EFAULT", EFAULT},       {"EBUSY", EBUSY},   {"ENODEV", ENODEV},
    {"EINVAL", EINVAL},         {"ENFILE", ENFILE},       {"EMFILE", EMFILE}, {"ENOTTY", ENOTTY},
    {"ENOSPC", ENOSPC},         {"EROFS", EROFS},         {"EPIPE", EPIPE},   {"ENOSYS", ENOSYS},
    {"EOPNOTSUPP", EOPNOTSUPP}, {"ETIMEDOUT", ETIMEDOUT},
};

}  // namespace

std::optional<int> errnoFromName(std::string_view name) {
  for (const ErrnoName& entry : kNames)
    if (entry.name == name) return entry.code;
  auto number = parseUnsigned(name, 4095);
  if (!number || *number == 0) return std::nullopt;
  return static_cast<int>(*number);
}

std::string errnoName(int code) {
  for (const ErrnoName& entry : kNames)
    if (entry.code == code) return std::string(entry.name);
  return std::to_string(code);
}

}  // namespace wirelens::testing
