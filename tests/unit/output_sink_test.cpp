#include "output_sink.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "errors/top_level_error.h"
#include "fake_env.h"

namespace wirelens {
namespace {

using testing::FakeEnv;

// A serializer that appends the given pieces and stops at the first sink failure, as the
// JSON writer does.
OutputSink::Serializer pieces(std::vector<std::string> parts) {
  return [parts = std::move(parts)](ByteSink& sink) -> Result<Done, SerializerError> {
    for (const std::string& part : parts) {
      if (!sink.append(part.data(), part.size())) return fail(SerializerError{*sink.failure()});
    }
    return Done{};
  };
}

std::string report(FakeEnv& env, const Result<Done, TopLevelError>& result) {
  EXPECT_FALSE(result.ok());
  return result.ok() ? std::string() : formatReport(result.error(), env);
}

struct PieceCase {
  std::size_t prefix;
  std::size_t piece;
  std::vector<std::size_t> writes;
};

TEST(OutputSink, PiecesThatDoNotFitPassTheBufferOnFirst) {
  const std::vector<PieceCase> cases = {
      {0, 8191, {8192}},       // piece and line feed fill the buffer exactly
      {0, 8192, {8192, 1}},    // a full buffer: the line feed forces it out
      {0, 8193, {8193, 1}},    // too long for the buffer: written straight through
      {10, 8191, {10, 8192}},  // does not fit behind the prefix: prefix first
      {10, 8193, {10, 8193, 1}},
  };
  for (const PieceCase& c : cases) {
    FakeEnv env;
    OutputSink sink(env);
    const std::string prefix(c.prefix, 'p');
    const std::string piece(c.piece, 'x');
    std::vector<std::string> parts;
    if (!prefix.empty()) parts.push_back(prefix);
    parts.push_back(piece);
    ASSERT_TRUE(sink.emit(pieces(parts)).ok());
    EXPECT_EQ(env.stdoutWrites, c.writes) << "prefix " << c.prefix << " piece " << c.piece;
    EXPECT_EQ(env.stdoutBytes, prefix + piece + "\n");
    EXPECT_EQ(sink.buffered(), 0u);
  }
}

TEST(OutputSink, ShortDocumentLeavesOnlyAtTheEndOfEmit) {
  FakeEnv env;
  OutputSink sink(env);
  ASSERT_TRUE(sink.emit([&](ByteSink& s) -> Result<Done, SerializerError> {
                    s.append("{", 1);
                    s.append("}", 1);
                    EXPECT_TRUE(env.stdoutWrites.empty());
                    return Done{};
                  })
                  .ok());
  EXPECT_EQ(env.stdoutBytes, "{}\n");
  EXPECT_EQ(env.stdoutWrites, std::vector<std::size_t>{3});
}

TEST(OutputSink, PartialWritesAndInterruptionsLoseNothing) {
  FakeEnv env;
  int call = 0;
  env.onWriteStdout = [&](const void* data, std::size_t size) {
    if (++call % 3 == 1) return sysError(EINTR);
    const std::size_t taken = size < 1000 ? size : 1000;
    env.takeStdout(data, taken);
    return sysValue(static_cast<std::int64_t>(taken));
  };
  OutputSink sink(env);
  std::string text;
  for (int i = 0; i < 5000; ++i) text += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(sink.emit(pieces({text, text, text, text})).ok());
  EXPECT_EQ(env.stdoutBytes, text + text + text + text + "\n");
}

TEST(OutputSink, ClosedStandardOutputDiscardsWithoutError) {
  FakeEnv env;
  env.onWriteStdout = [](const void*, std::size_t) { return sysError(EBADF); };
  OutputSink sink(env);
  EXPECT_TRUE(sink.emit(pieces({std::string(20000, 'x')})).ok());
  EXPECT_TRUE(sink.emit(pieces({"{}"})).ok());
  EXPECT_EQ(env.stdoutBytes, "");
}

TEST(OutputSink, FailuresCarryTheirContextAndCauses) {
  struct Case {
    const char* what;
    std::vector<std::string> parts;
    std::function<SysResult(FakeEnv&, const void*, std::size_t)> write;
    std::string report;
  };
  const auto always = [](int error) {
    return [error](FakeEnv&, const void*, std::size_t) { return sysError(error); };
  };
  const std::vector<Case> cases = {
      {"broken pipe at the flush",
       {"{}"},
       always(EPIPE),
       "Error: failed to flush output\n\nCaused by:\n    0: I/O error: text 32 (os error 32)\n"
       "    1: text 32 (os error 32)\n"},
      {"no space at the flush",
       {"{}"},
       always(ENOSPC),
       "Error: failed to flush output\n\nCaused by:\n    0: I/O error: text 28 (os error 28)\n"
       "    1: text 28 (os error 28)\n"},
      {"broken pipe while a long document is serialized",
       {std::string(9000, 'x')},
       always(EPIPE),
       "Error: failed to write output\n\nCaused by:\n    0: serialization error: text 32 (os error "
       "32)\n"
       "    1: text 32 (os error 32)\n"},
      {"broken pipe when the line feed needs room",
       {std::string(8192, 'x')},
       always(EPIPE),
       "Error: failed to write output\n\nCaused by:\n    0: I/O error: text 32 (os error 32)\n"
       "    1: text 32 (os error 32)\n"},
      {"a write that takes nothing",
       {"{}"},
       [](FakeEnv&, const void*, std::size_t) { return sysValue(0); },
       "Error: failed to flush output\n\nCaused by:\n    0: I/O error: failed to write the "
       "buffered data\n"
       "    1: failed to write the buffered data\n"},
  };
  for (const Case& c : cases) {
    FakeEnv env;
    env.onWriteStdout = [&](const void* d, std::size_t n) { return c.write(env, d, n); };
    OutputSink sink(env);
    EXPECT_EQ(report(env, sink.emit(pieces(c.parts))), c.report) << c.what;
  }
}

TEST(OutputSink, SerializerFailureKeepsWhatWasWrittenForTheClose) {
  FakeEnv env;
  OutputSink sink(env);
  auto result = sink.emit([](ByteSink& s) -> Result<Done, SerializerError> {
    s.append("{\"records\":[{", 13);
    return fail(SerializerError{std::string("Invalid variant 12")});
  });
  EXPECT_EQ(report(env, result),
            "Error: failed to write output\n\nCaused by:\n    0: serialization error: Invalid "
            "variant 12\n"
            "    1: Invalid variant 12\n");
  EXPECT_EQ(env.stdoutBytes, "");
  sink.close();
  EXPECT_EQ(env.stdoutBytes, "{\"records\":[{");
}

TEST(OutputSink, BytesNotTakenStayForTheClose) {
  FakeEnv env;
  bool broken = true;
  env.onWriteStdout = [&](const void* data, std::size_t) {
    if (broken) {
      broken = false;
      env.takeStdout(data, 2);
      return sysValue(2);
    }
    return sysError(EAGAIN);
  };
  OutputSink sink(env);
  ASSERT_FALSE(sink.emit(pieces({"abcdef"})).ok());
  EXPECT_EQ(env.stdoutBytes, "ab");
  env.onWriteStdout = nullptr;
  sink.close();
  EXPECT_EQ(env.stdoutBytes, "abcdef\n");
  sink.close();  // once only
  EXPECT_EQ(env.stdoutBytes, "abcdef\n");
}

TEST(OutputSink, CloseIgnoresAFailingWrite) {
  FakeEnv env;
  env.onWriteStdout = [](const void*, std::size_t) { return sysError(EPIPE); };
  OutputSink sink(env);
  ASSERT_FALSE(sink.emit(pieces({"{}"})).ok());
  sink.close();
  EXPECT_EQ(env.stdoutWrites.size(), 2u);  // the flush, then the close's one attempt
}

}  // namespace
}  // namespace wirelens
