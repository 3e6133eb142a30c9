#include "gathering_sink.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "json/json_writer.h"

namespace wirelens {
namespace {

constexpr std::size_t kPiece = GatheringSink::kPieceSize;

// A sink below that takes every piece through its slow path, so each append it receives is
// recorded, and that fails from its `failFrom`-th piece on.
class PieceRecorder final : public ByteSink {
 public:
  explicit PieceRecorder(std::size_t failFrom = SIZE_MAX) : failFrom_(failFrom) {}
  std::vector<std::size_t> pieces;
  std::string bytes;

 protected:
  std::optional<IoError> takeSlow(const char* data, std::size_t size) override {
    if (pieces.size() >= failFrom_) return IoError::os(EPIPE);
    pieces.push_back(size);
    bytes.append(data, size);
    return std::nullopt;
  }
  std::optional<IoError> makeRoom(std::size_t) override {
    return IoError::fixed("the gathering sink reserved room below");
  }

 private:
  std::size_t failFrom_;
};

// Appends pieces of the given sizes, each of its own letter; with `reserve`, takes each one
// as a reservation instead.
Serializer appending(std::vector<std::size_t> sizes, bool reserve = false) {
  return [sizes = std::move(sizes), reserve](ByteSink& sink) -> Result<Done, SerializerError> {
    char letter = 'a';
    for (std::size_t size : sizes) {
      const std::string piece(size, letter++);
      if (reserve) {
        char* p = sink.reserve(size);
        if (p == nullptr) return fail(SerializerError{*sink.failure()});
        std::memcpy(p, piece.data(), size);
        sink.commit(p + size);
      } else if (!sink.append(piece.data(), size)) {
        return fail(SerializerError{*sink.failure()});
      }
    }
    return Done{};
  };
}

std::string expectedText(const std::vector<std::size_t>& sizes) {
  std::string text;
  char letter = 'a';
  for (std::size_t size : sizes) text += std::string(size, letter++);
  return text;
}

TEST(GatheringSink, HandsOnFullPiecesAndTheRestAtTheEnd) {
  struct Case {
    std::vector<std::size_t> appends;
    bool reserve;
    std::vector<std::size_t> pieces;
  };
  const std::vector<Case> cases = {
      {{}, false, {}},
      {{1}, false, {1}},
      {{kPiece - 1}, false, {kPiece - 1}},
      {{kPiece}, false, {kPiece}},
      {{kPiece, 1}, false, {kPiece, 1}},
      {{kPiece - 1, 2}, false, {kPiece - 1, 2}},
      {{40000, 40000}, false, {40000, 40000}},
      {{kPiece + 1}, false, {kPiece + 1}},                // too long to gather: straight through
      {{10, 3 * kPiece, 5}, false, {10, 3 * kPiece, 5}},  // what was gathered goes first
      {std::vector<std::size_t>(16, 4096), true, {kPiece}},
      {std::vector<std::size_t>(17, 4096), true, {kPiece, 4096}},
      {{kPiece - 100, 4096}, true, {kPiece - 100, 4096}},
  };
  GatheringSink gathering;  // one for every document, as in a run
  for (const Case& c : cases) {
    PieceRecorder below;
    ASSERT_TRUE(gathering.gather(below, appending(c.appends, c.reserve)).ok());
    EXPECT_EQ(below.pieces, c.pieces) << c.appends.size() << " appends";
    EXPECT_EQ(below.bytes, expectedText(c.appends));
  }
}

TEST(GatheringSink, FailureBelowInTheMiddleStopsTheWriterAtOnce) {
  GatheringSink gathering;
  PieceRecorder below(1);  // takes the first piece, refuses the second
  const Result<Done, SerializerError> result = gathering.gather(below, [&](ByteSink& sink) {
    JsonWriter writer(sink, OutputStyle::compact);
    writer.beginArray(20000);
    for (int i = 0; i < 20000; ++i) {
      writer.beginElement();
      writer.writeString("twelve bytes");
    }
    writer.endArray();
    EXPECT_EQ(sink.callsAfterFailure(), 0);
    return writer.status();
  });
  ASSERT_FALSE(result.ok());
  ASSERT_TRUE(std::holds_alternative<IoError>(result.error().kind));
  EXPECT_EQ(std::get<IoError>(result.error().kind), IoError::os(EPIPE));
  // One piece, as full as a reservation for the next value allowed.
  ASSERT_EQ(below.pieces.size(), 1u);
  EXPECT_GT(below.pieces[0], kPiece - 100);
  EXPECT_EQ(below.bytes.substr(0, 16), "[\"twelve bytes\",");

  // The next document starts afresh.
  PieceRecorder next;
  EXPECT_TRUE(gathering.gather(next, appending({3})).ok());
  EXPECT_EQ(next.bytes, "aaa");
}

TEST(GatheringSink, WhatWasWrittenBeforeTheWritersOwnFailureIsHandedOn) {
  GatheringSink gathering;
  PieceRecorder below;
  const Result<Done, SerializerError> result = gathering.gather(below, [](ByteSink& sink) {
    JsonWriter writer(sink, OutputStyle::compact);
    writer.beginObject(2);
    writer.memberUint32("a", 1);
    writer.fail(invalidVariant(12));
    return writer.status();
  });
  ASSERT_FALSE(result.ok());
  ASSERT_TRUE(std::holds_alternative<std::string>(result.error().kind));
  EXPECT_EQ(std::get<std::string>(result.error().kind), "Invalid variant 12");
  EXPECT_EQ(below.bytes, "{\"a\":1");
}

TEST(GatheringSink, FailureOfTheLastHandingOnIsTheDocumentsFailure) {
  GatheringSink gathering;
  PieceRecorder below(0);
  const Result<Done, SerializerError> result = gathering.gather(below, appending({100}));
  ASSERT_FALSE(result.ok());
  ASSERT_TRUE(std::holds_alternative<IoError>(result.error().kind));
  EXPECT_EQ(std::get<IoError>(result.error().kind), IoError::os(EPIPE));
  EXPECT_TRUE(below.bytes.empty());
}

}  // namespace
}  // namespace wirelens
