// GatheringSink: gathers a document's text into pieces of 64 KiB and hands each full piece to
// the sink below in one append. Below it sits the output sink, which writes a piece of its
// buffer's size or more straight to standard output, so a large document leaves in one
// system call per piece instead of one per 8 KiB; a document shorter than a piece reaches
// the sink below as one piece when it is complete. A sink can gather one document after
// another.
#pragma once

#include <cstddef>
#include <memory>

#include "json/byte_sink.h"
#include "result.h"

namespace wirelens {

class GatheringSink final : public ByteSink {
 public:
  // A pipe's capacity. Smaller pieces cost a system call each; larger ones save little
  // more.
  static constexpr std::size_t kPieceSize = 64 * 1024;

  GatheringSink();
  GatheringSink(const GatheringSink&) = delete;
  GatheringSink& operator=(const GatheringSink&) = delete;

  // One document: `serialize` writes into this sink, whose text reaches `below` piece by
  // piece, and the rest when serialize returns, also after serialize failed. The result is
  // serialize's own failure, else the failure of `below` (SerializerError holding it).
  [[nodiscard]] Result<Done, SerializerError> gather(ByteSink& below, const Serializer& serialize);

 protected:
  std::optional<IoError> takeSlow(const char* data, std::size_t size) override;
  std::optional<IoError> makeRoom(std::size_t size) override;

 private:
  std::optional<IoError> passOn();

  std::unique_ptr<char[]> piece_;
  ByteSink* below_ = nullptr;
};

}  // namespace wirelens
