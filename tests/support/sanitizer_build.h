// Whether this build carries AddressSanitizer. Its allocator ends the process on a refused
// operator new instead of throwing std::bad_alloc, and it reserves more address space than
// any address-space limit leaves, so tests of refused memory skip under it.
#pragma once

namespace wirelens::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace wirelens::testing
