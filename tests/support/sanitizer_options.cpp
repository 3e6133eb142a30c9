// Allocation-failure tests ask for buffers no machine grants (about 1.6 TB). Under
// AddressSanitizer such a request aborts the process unless the allocator may say no, which
// is what the code under test must cope with. Without the sanitizer nothing calls this.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
