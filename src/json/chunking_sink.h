// ChunkingSink: gathers a document's text into chunks of 64 KiB and hands each full chunk
// to the sink below as one piece. Below it sits the output sink, which writes a piece of its
// buffer's size or more straight to standard output, so a large document leaves in one
// system call per chunk instead of one per 8 KiB; a document shorter than a chunk reaches
// the sink below as one piece at finish(), exactly as the writer's pieces would have.
#pragma once

#include <cstddef>
#include <memory>

#include "json/byte_sink.h"

namespace wirelens {

class ChunkingSink final : public ByteSink {
 public:
  // A pipe's capacity. Smaller chunks cost a system call per chunk; larger ones save little
  // more, and a chunk beyond the first-level cache is fetched line by line as it is written,
  // which the compact writer hides by asking for the lines ahead (JsonWriter::compactValue).
  static constexpr std::size_t kChunkSize = 64 * 1024;

  explicit ChunkingSink(ByteSink& below);
  ChunkingSink(const ChunkingSink&) = delete;
  ChunkingSink& operator=(const ChunkingSink&) = delete;

  // Hands on what is gathered; false when the sink below failed, now or before (and then
  // nothing more reaches it). Text written before a writer's failure is handed on too.
  [[nodiscard]] bool finish() { return passOn(); }

 protected:
  bool appendSlow(const char* data, std::size_t size) override;
  bool makeRoom(std::size_t size) override;

 private:
  bool passOn();

  ByteSink& below_;
  std::unique_ptr<char[]> chunk_;
};

}  // namespace wirelens
