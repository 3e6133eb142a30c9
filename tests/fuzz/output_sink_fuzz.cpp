// Fuzz target: the output sink over a hostile standard output. The input plans a run of
// documents (pieces appended or reserved, of any size, and sometimes a writer failure at the
// end) and answers every write: all taken, part taken, none taken, EINTR, EBADF (descriptor
// 1 closed from then on), another error, or a count no write can report (more than it was
// given, or negative). Expected: each write offers exactly the next bytes of the intended
// output (every document, and the line feed after each one that succeeded); a successful
// emit has handed over everything so far; a failing one returns the error of the failing
// write in the context of its step, and its report is exactly the one the model spells;
// close() writes nothing out of order; no byte is offered twice or skipped.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "errors/top_level_error.h"
#include "fuzz_check.h"
#include "output_sink.h"
#include "script_env.h"

namespace {

using namespace wirelens;

enum class Phase { Serializing, AfterSerializing };

class HostileStdout final : public fuzz::ScriptEnv {
 public:
  explicit HostileStdout(FuzzedDataProvider& input) : input_(input) {}

  std::string intended;           // every byte the sink should hand over, in order
  std::size_t position = 0;       // bytes handed over or discarded so far
  std::string reached;            // bytes the descriptor took
  bool closedDescriptor = false;  // EBADF from now on
  Phase phase = Phase::AfterSerializing;
  // The last failing write, and the step it happened in.
  std::optional<IoError> failure;
  Phase failurePhase = Phase::AfterSerializing;

  SysResult writeStdout(const void* data, std::size_t size) override {
    FUZZ_CHECK(size > 0, "an empty write");
    FUZZ_CHECK(position + size <= intended.size() &&
                   std::memcmp(data, intended.data() + position, size) == 0,
               "a write of %zu bytes at %zu offers other bytes than the next %zu", size, position,
               intended.size() - position);
    if (closedDescriptor) return refuse(EBADF, size);
    switch (input_.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1:
      case 2:
      case 3:
        return take(size);
      case 4:
      case 5:
        return take(input_.ConsumeIntegralInRange<std::size_t>(1, size));
      case 6:
        return refuse(EINTR, size);
      case 7:
        closedDescriptor = true;
        return refuse(EBADF, size);
      case 8:
        failure = IoError::fixed("failed to write the buffered data");
        failurePhase = phase;
        return sysValue(0);
      default:
        // A count no write can report, more than it was given or negative without an error:
        // a failure of its own, and none of the bytes count as taken.
        if (input_.ConsumeBool()) {
          failure = IoError::fixed(kInvalidWriteCount);
          failurePhase = phase;
          const std::int64_t wrong = input_.ConsumeIntegralInRange<std::int64_t>(1, 9);
          return sysValue(input_.ConsumeBool() ? -wrong : static_cast<std::int64_t>(size) + wrong);
        }
        return refuse(input_.PickValueInArray({EIO, EPIPE, ENOSPC, EAGAIN, ENOMEM, EFAULT}), size);
    }
  }

 private:
  SysResult take(std::size_t n) {
    reached.append(intended, position, n);
    position += n;
    return sysValue(static_cast<std::int64_t>(n));
  }
  SysResult refuse(int error, std::size_t size) {
    if (error == EBADF) {
      position += size;  // discarded, as if written
    } else if (error != EINTR) {
      failure = IoError::os(error);
      failurePhase = phase;
    }
    return sysError(error);
  }

  FuzzedDataProvider& input_;
};

// One step of a document: `size` bytes appended, or `size` bytes of room reserved and
// `used` of them written.
struct Piece {
  bool reserved = false;
  std::size_t size = 0;
  std::size_t used = 0;
};

struct DocumentPlan {
  std::vector<Piece> pieces;
  bool writerFails = false;  // the writer gives up after its pieces, as for "Invalid variant"
};

DocumentPlan planDocument(FuzzedDataProvider& input) {
  DocumentPlan plan;
  const int count = input.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < count; ++i) {
    Piece piece;
    piece.reserved = input.ConsumeIntegralInRange(0, 3) == 0;
    if (piece.reserved) {
      piece.size = input.ConsumeIntegralInRange<std::size_t>(1, ByteSink::kMaxReserve);
      piece.used = input.ConsumeIntegralInRange<std::size_t>(0, piece.size);
    } else {
      // Mostly short pieces, some around and beyond the buffer's 8192 bytes.
      piece.size = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::size_t>(0, 300)
                                       : input.ConsumeIntegralInRange<std::size_t>(0, 20000);
    }
    plan.pieces.push_back(piece);
  }
  plan.writerFails = input.ConsumeIntegralInRange(0, 7) == 0;
  return plan;
}

// Distinct bytes for every position of the output, so that a byte out of place shows.
char byteAt(std::size_t position) {
  return static_cast<char>('!' + position * 7 % 89);
}

// The writer's side of one document: append or reserve the planned pieces, giving up at the
// first refusal. This is the only part that speaks the sink's writer interface.
Result<Done, SerializerError> writePlanned(ByteSink& sink, const DocumentPlan& plan,
                                           std::size_t start) {
  std::size_t at = start;
  for (const Piece& piece : plan.pieces) {
    std::string bytes(piece.reserved ? piece.used : piece.size, '\0');
    for (char& b : bytes) b = byteAt(at++);
    if (piece.reserved) {
      char* room = sink.reserve(piece.size);
      if (room == nullptr) return fail(SerializerError{sink.failure().value()});
      std::memcpy(room, bytes.data(), bytes.size());
      sink.commit(room + bytes.size());
    } else if (!sink.append(bytes.data(), bytes.size())) {
      FUZZ_CHECK(sink.failure().has_value(), "a refusal without a failure");
      return fail(SerializerError{*sink.failure()});
    }
  }
  if (plan.writerFails) return fail(SerializerError{std::string("Invalid variant 99")});
  return Done{};
}

// The report of a failed run as the model spells it: the step's context, then the output
// error and the error under it.
std::string ioText(const IoError& error, const HostileStdout& env) {
  if (const auto* fixed = std::get_if<IoError::Fixed>(&error.form)) return std::string(fixed->text);
  const int code = std::get<IoError::Os>(error.form).code;
  return env.describe(code) + " (os error " + std::to_string(code) + ")";
}
std::string expectedReport(std::string_view context, std::string_view outputKind,
                           const std::string& inner) {
  return "Error: " + std::string(context) + "\n\nCaused by:\n    0: " + std::string(outputKind) +
         ": " + inner + "\n    1: " + inner + "\n";
}

std::size_t plannedBytes(const DocumentPlan& plan) {
  std::size_t n = 0;
  for (const Piece& piece : plan.pieces) n += piece.reserved ? piece.used : piece.size;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  HostileStdout env(input);
  const int documents = input.ConsumeIntegralInRange(1, 4);
  {
    OutputSink sink(env);
    for (int d = 0; d < documents; ++d) {
      const DocumentPlan plan = planDocument(input);
      const std::size_t start = env.intended.size();
      const std::size_t length = plannedBytes(plan);
      for (std::size_t i = 0; i < length; ++i) env.intended.push_back(byteAt(start + i));
      env.intended.push_back('\n');  // dropped again below if the document fails

      env.failure.reset();
      bool bufferFullAfterWriting = false;
      const Result<Done, TopLevelError> emitted = sink.emit([&](ByteSink& s) {
        env.phase = Phase::Serializing;
        auto written = writePlanned(s, plan, start);
        env.phase = Phase::AfterSerializing;
        bufferFullAfterWriting = sink.buffered() == OutputSink::kCapacity;
        return written;
      });

      if (emitted.ok()) {
        FUZZ_CHECK(!plan.writerFails && !env.failure, "emit succeeded over a failure");
        FUZZ_CHECK(env.position == env.intended.size() && sink.buffered() == 0,
                   "document %d: %zu of %zu bytes handed over, %zu still buffered", d, env.position,
                   env.intended.size(), sink.buffered());
        continue;
      }
      // The run ends here. A document that failed while written, or at its line feed, stays
      // without one; one that failed at the flush has its line feed in the buffer.
      const TopLevelError& error = emitted.error();
      if (error.message == "failed to write output") env.intended.pop_back();
      const std::string report = formatReport(error, env);
      std::string want;
      if (!env.failure) {
        want =
            expectedReport("failed to write output", "serialization error", "Invalid variant 99");
      } else if (env.failurePhase == Phase::Serializing) {
        want = expectedReport("failed to write output", "serialization error",
                              ioText(*env.failure, env));
      } else {
        want = expectedReport(error.message, "I/O error", ioText(*env.failure, env));
      }
      FUZZ_CHECK(report == want, "the report is\n%s\nexpected\n%s", report.c_str(), want.c_str());
      FUZZ_CHECK(error.cause.has_value(), "a failure without a cause");
      const auto* output = std::get_if<OutputError>(&*error.cause);
      FUZZ_CHECK(output != nullptr, "not an output error");
      if (env.failure && env.failurePhase == Phase::Serializing) {
        const auto* serialization = std::get_if<OutputError::Serialization>(&output->kind);
        FUZZ_CHECK(error.message == "failed to write output" && serialization != nullptr,
                   "a failure while writing reported as \"%s\"", error.message.c_str());
        const auto* io = std::get_if<IoError>(&serialization->inner.kind);
        FUZZ_CHECK(io != nullptr && *io == *env.failure, "not the failing write's error");
      } else if (env.failure) {
        const auto* io = std::get_if<OutputError::Io>(&output->kind);
        FUZZ_CHECK(io != nullptr && io->inner == *env.failure, "not the failing write's error");
        // The line feed's own write can only fail when the document filled the buffer.
        FUZZ_CHECK(error.message == "failed to flush output" ||
                       (bufferFullAfterWriting && error.message == "failed to write output"),
                   "a failure after writing reported as \"%s\"", error.message.c_str());
      } else {
        FUZZ_CHECK(plan.writerFails && error.message == "failed to write output",
                   "emit failed with no failing write");
        const auto* serialization = std::get_if<OutputError::Serialization>(&output->kind);
        FUZZ_CHECK(serialization != nullptr &&
                       std::holds_alternative<std::string>(serialization->inner.kind),
                   "the writer's own failure is not passed on");
      }
      break;
    }
    sink.close();
    FUZZ_CHECK(sink.buffered() == 0, "bytes left after close");
  }
  FUZZ_CHECK(env.position <= env.intended.size(), "more bytes than intended");
  FUZZ_CHECK(env.intended.compare(0, env.reached.size(), env.reached) == 0,
             "the bytes that reached the descriptor are not a prefix of the output");
  return 0;
}
