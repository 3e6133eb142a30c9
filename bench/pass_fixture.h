// The data of one collection pass over a given number of synthetic sockets, built once per
// count and shared by every benchmark: the statistics-device bytes, a kern.file value that
// lists every socket, the decoded and attributed sockets, the assembled Batch and its
// compact text. Also the counters all stage benchmarks report.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/batch.h"
#include "gathering_sink.h"
#include "json/json_writer.h"
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

// Writes the batch as the collection loop does, gathered into pieces on their way to the
// sink; false when writing failed.
bool writeCompact(GatheringSink& gathering, const Batch& batch, ByteSink& sink,
                  OutputStyle style = OutputStyle::compact);

// Built on first use and kept for the whole run.
const PassFixture& passFixture(std::size_t count);

// Registers the socket counts every stage is measured at.
void socketCounts(benchmark::internal::Benchmark* b);

// Reports per_socket, the time of one iteration (paused parts excluded) per socket, shown
// in seconds with a unit prefix ("271ns"), and, when a budget is given, budget_ns: the
// stage's budget per socket in nanoseconds, to read next to it.
void reportPerSocket(benchmark::State& state, std::size_t sockets, double budgetNsPerSocket = 0);

}  // namespace wirelens::bench
