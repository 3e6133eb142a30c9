// The benchmarks run under the same memory policy as the collector, so that a stage's
// buffers are reused from one iteration to the next as they are from pass to pass.
#include <benchmark/benchmark.h>

#include "platform/heap_retention.h"

int main(int argc, char** argv) {
  wirelens::retainFreedMemory();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
