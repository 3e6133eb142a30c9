#include "platform/heap_retention.h"

#include <climits>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace wirelens {

void retainFreedMemory() {
#if defined(__GLIBC__)
  // glibc maps every block above 32 MB on its own and unmaps it when freed, and trims the
  // heap top beyond a small threshold. Blocks from the heap, never trimmed, stay mapped.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
  // Elsewhere the allocator's own policy stands: FreeBSD's purges freed pages gradually,
  // over seconds, so a pass a second finds most of them still mapped.
}

}  // namespace wirelens
