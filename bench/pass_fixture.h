// The data of one collection pass over a given number of synthetic sockets, built once per
// count and shared by every benchmark: the statistics-device bytes, a kern.file value that
// lists every socket, the decoded and attributed sockets, the assembled Batch and its
// compact text. Also the counters all stage benchmarks report.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/batch.h"
#include "records/decoded_socket.h"

namespace wirelens::bench {

struct PassFixture {
  std::size_t count = 0;
  std::string deviceBytes;  // count records of 320 bytes
  std::vector<std::byte> kernFile;
  std::size_t kernFileEntries = 0;
  std::vector<DecodedSocket> sockets;  // decoded, owners attributed
  Batch batch;                         // metadata, records and summary of the pass
  std::string compact;                 // our compact text of batch

  std::span<const std::byte> device() const {
    return std::as_bytes(std::span<const char>(deviceBytes.data(), deviceBytes.size()));
  }
};

// Built on first use and kept for the whole run.
const PassFixture& passFixture(std::size_t count);

// Registers the socket counts every stage is measured at.
void socketCounts(benchmark::internal::Benchmark* b);

// Times a benchmark's loop from its construction, just before the loop, and reports
// ns_per_socket and of_budget, the time taken as a fraction of budgetNs per iteration (below
// 1 is within budget; a budget of 0 reports none), as plain numbers.
class PerSocket {
 public:
  PerSocket() : start_(std::chrono::steady_clock::now()) {}
  void report(benchmark::State& state, std::size_t sockets, double budgetNs = 0) const;

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace wirelens::bench
