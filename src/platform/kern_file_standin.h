// The open-file table in the kern.file entry layout, gathered from /proc on hosts that have
// no kern.file: one entry per socket descriptor of every process that can be read, keyed by
// the socket's inode. Processes that vanish or refuse reading are skipped; no /proc, no entries.
#pragma once

#include <cstddef>
#include <vector>

namespace wirelens {

std::vector<std::byte> procOpenFileTable();

}  // namespace wirelens
