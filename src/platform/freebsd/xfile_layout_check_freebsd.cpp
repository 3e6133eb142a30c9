// Built on FreeBSD only: the system's own declaration of an open-file table entry must agree
// with the offsets the attribution decodes by. No feature-test macros here: they hide the
// declaration. <sys/types.h> comes first, as <sys/file.h> expects, in a block of its own so
// that include sorting cannot move it.
#include <sys/types.h>

#include <sys/file.h>

#include <cstddef>

#include "platform/freebsd/xfile_layout.h"

namespace wirelens {
namespace {

namespace e = xfile_entry;
using Entry = ::xfile;

static_assert(sizeof(Entry) == e::kSize);
static_assert(offsetof(Entry, xf_size) == e::kXfSize && sizeof(Entry::xf_size) == 8);
static_assert(offsetof(Entry, xf_pid) == e::kXfPid && sizeof(Entry::xf_pid) == 4);
static_assert(offsetof(Entry, xf_fd) == e::kXfFd && sizeof(Entry::xf_fd) == 4);
static_assert(offsetof(Entry, xf_type) == e::kXfType && sizeof(Entry::xf_type) == 2);
static_assert(offsetof(Entry, xf_data) == e::kXfData && sizeof(Entry::xf_data) == 8);
static_assert(DTYPE_SOCKET == e::kTypeSocket);

}  // namespace
}  // namespace wirelens
