// FUZZ_CHECK: a property a fuzz target asserts. A broken property prints what was expected
// and aborts, which libFuzzer records as a finding together with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                            \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: property failed: %s\n  ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                      \
      std::fprintf(stderr, "\n");                                                             \
      std::abort();                                                                           \
    }                                                                                         \
  } while (false)
