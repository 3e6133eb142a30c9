#include "json/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "limited_sink.h"
#include "memory_sinks.h"

namespace wirelens {
namespace {

// The text a writer produces for one sequence of calls, which must succeed.
template <typename Calls>
std::string written(OutputStyle style, Calls calls) {
  StringSink sink(16);
  JsonWriter writer(sink, style);
  calls(writer);
  EXPECT_TRUE(writer.status().ok());
  return sink.text();
}

std::string stringValue(std::string_view text) {
  return written(OutputStyle::compact, [&](JsonWriter& w) { w.writeString(text); });
}

TEST(JsonStrings, EveryEscape) {
  struct Case {
    std::string text;
    std::string json;
  };
  const std::vector<Case> cases = {
      {"", R"("")"},
      {"plain", R"("plain")"},
      {"\"", R"("\"")"},
      {"\\", R"("\\")"},
      {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
      {std::string(1, '\0'), R"("\u0000")"},
      {"\x01", R"("\u0001")"},
      {"\x0b", R"("\u000b")"},
      {"\x1f", R"("\u001f")"},
      {"/ \x7f \xc3\xa9 \xff", "\"/ \x7f \xc3\xa9 \xff\""},
      {"tab\there \"q\" back\\slash\x01", R"("tab\there \"q\" back\\slash\u0001")"},
  };
  for (const Case& c : cases) EXPECT_EQ(stringValue(c.text), c.json) << c.json;
}

TEST(JsonStrings, TextTooLongForOneReservationIsEscapedTheSame) {
  // 1000 control bytes grow to 6000 escaped bytes, more than one reservation holds.
  std::string text;
  std::string json = "\"";
  for (int i = 0; i < 1000; ++i) {
    text += i % 2 == 0 ? '\x01' : 'a';
    json += i % 2 == 0 ? "\\u0001" : "a";
  }
  json += "\"";
  EXPECT_EQ(stringValue(text), json);
  EXPECT_EQ(written(OutputStyle::compact,
                    [&](JsonWriter& w) {
                      w.beginObject(1);
                      w.memberString("k", text);
                      w.endObject();
                    }),
            "{\"k\":" + json + "}");
}

TEST(JsonStrings, KeysGivenAsTextAreEscaped) {
  EXPECT_EQ(written(OutputStyle::compact,
                    [](JsonWriter& w) {
                      w.beginObject(2);
                      w.writeKey("a\"b");
                      w.writeUint32(1);
                      w.writeKey(std::string("\n"));
                      w.writeUint32(2);
                      w.endObject();
                    }),
            R"({"a\"b":1,"\n":2})");
}

TEST(JsonNumbers, IntegerExtremes) {
  auto text = [](auto call) { return written(OutputStyle::compact, call); };
  EXPECT_EQ(text([](JsonWriter& w) { w.writeUint32(0); }), "0");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeUint32(4294967295u); }), "4294967295");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt32(0); }), "0");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt32(-1); }), "-1");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt32(2147483647); }), "2147483647");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt32(INT32_MIN); }), "-2147483648");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeUint64Text(0); }), R"("0")");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeUint64Text(UINT64_MAX); }),
            R"("18446744073709551615")");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt64Text(0); }), R"("0")");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt64Text(-1500); }), R"("-1500")");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt64Text(INT64_MAX); }), R"("9223372036854775807")");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeInt64Text(INT64_MIN); }), R"("-9223372036854775808")");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeBool(true); }), "true");
  EXPECT_EQ(text([](JsonWriter& w) { w.writeBool(false); }), "false");
}

TEST(JsonNumbers, EveryDigitCountOfBothWidths) {
  std::uint64_t v = 1;
  for (int digits = 1; digits <= 20; ++digits, v *= 10) {
    for (std::uint64_t x : {v, v - 1 + (digits == 1), v + 7}) {
      const std::string expected = std::to_string(x);
      EXPECT_EQ(written(OutputStyle::compact, [x](JsonWriter& w) { w.writeUint64Text(x); }),
                "\"" + expected + "\"");
      if (x <= UINT32_MAX) {
        EXPECT_EQ(written(OutputStyle::compact,
                          [x](JsonWriter& w) { w.writeUint32(static_cast<std::uint32_t>(x)); }),
                  expected);
      }
    }
  }
}

TEST(JsonNumbers, DoublesShortestDigitsInPlainOrExponentForm) {
  struct Case {
    double value;
    std::string json;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {1.0, "1.0"},
      {0.5, "0.5"},
      {0.1, "0.1"},
      {-1.5, "-1.5"},
      {12.5, "12.5"},
      {100.0, "100.0"},
      {0.00123, "0.00123"},
      {1e-5, "0.00001"},
      {1.2345e-5, "0.000012345"},
      {1e-6, "1e-6"},
      {1.25e-7, "1.25e-7"},
      {123456.789, "123456.789"},
      {1e15, "1000000000000000.0"},
      {9007199254740993.0, "9007199254740992.0"},
      {1e16, "1e+16"},
      {1.5e16, "1.5e+16"},
      {0.30000000000000004, "0.30000000000000004"},
      {1.2345678901234567e+200, "1.2345678901234567e+200"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {5e-324, "5e-324"},
      {-5e-324, "-5e-324"},
      {2.2250738585072009e-308, "2.225073858507201e-308"},  // largest subnormal
      {1e-310, "1e-310"},
      {2.2250738585072014e-308, "2.2250738585072014e-308"},  // smallest normal
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {-std::numeric_limits<double>::max(), "-1.7976931348623157e+308"},
      {std::nan(""), "null"},
      {-std::nan(""), "null"},
      {inf, "null"},
      {-inf, "null"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(written(OutputStyle::compact, [&](JsonWriter& w) { w.writeDouble(c.value); }),
              c.json);
  }
}

TEST(JsonBytes, PaddedBase64) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string json;
  };
  const std::vector<Case> cases = {
      {{}, R"("")"},
      {{'f'}, R"("Zg==")"},
      {{'f', 'o'}, R"("Zm8=")"},
      {{'f', 'o', 'o'}, R"("Zm9v")"},
      {{'f', 'o', 'o', 'b'}, R"("Zm9vYg==")"},
      {{'f', 'o', 'o', 'b', 'a'}, R"("Zm9vYmE=")"},
      {{127, 0, 0, 1}, R"("fwAAAQ==")"},
      {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, R"("AAECAwQFBgcICQoLDA0ODw==")"},
      {{0xfb, 0xff, 0xfe}, R"("+//+")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(written(OutputStyle::compact, [&](JsonWriter& w) { w.writeBase64(c.bytes); }),
              c.json);
  }
}

TEST(JsonBytes, InputTooLongForOneReservationStaysOneText) {
  std::vector<std::uint8_t> bytes;
  std::string json = "\"";
  for (int i = 0; i < 4000; ++i) {
    bytes.insert(bytes.end(), {'f', 'o', 'o'});
    json += "Zm9v";
  }
  bytes.push_back('f');
  json += "Zg==\"";
  EXPECT_EQ(written(OutputStyle::compact, [&](JsonWriter& w) { w.writeBase64(bytes); }), json);
  EXPECT_EQ(written(OutputStyle::compact,
                    [&](JsonWriter& w) {
                      w.beginObject(1);
                      w.memberBase64("b", bytes);
                      w.endObject();
                    }),
            "{\"b\":" + json + "}");
}

TEST(JsonContainers, EmptyContainersHaveNothingBetweenTheirBrackets) {
  for (OutputStyle style : {OutputStyle::compact, OutputStyle::pretty}) {
    EXPECT_EQ(written(style,
                      [](JsonWriter& w) {
                        w.beginObject(0);
                        w.endObject();
                      }),
              "{}");
    EXPECT_EQ(written(style,
                      [](JsonWriter& w) {
                        w.beginArray(0);
                        w.endArray();
                      }),
              "[]");
  }
  auto nested = [](JsonWriter& w) {
    w.beginObject(3);
    w.writeKey("a");
    w.beginObject(0);
    w.endObject();
    w.writeKey("b");
    w.beginArray(1);
    w.beginElement();
    w.beginObject(0);
    w.endObject();
    w.endArray();
    w.memberUint32("c", 1);
    w.endObject();
  };
  EXPECT_EQ(written(OutputStyle::compact, nested), R"({"a":{},"b":[{}],"c":1})");
  EXPECT_EQ(written(OutputStyle::pretty, nested),
            "{\n"
            "  \"a\": {},\n"
            "  \"b\": [\n"
            "    {}\n"
            "  ],\n"
            "  \"c\": 1\n"
            "}");
}

TEST(JsonContainers, PrettyPutsEveryElementOnItsOwnLine) {
  auto calls = [](JsonWriter& w) {
    w.beginArray(3);
    w.beginElement();
    w.writeString("x");
    w.beginElement();
    w.beginArray(2);
    w.beginElement();
    w.writeInt32(-1);
    w.beginElement();
    w.writeBool(false);
    w.endArray();
    w.beginElement();
    w.beginObject(2);
    w.memberDouble("d", 0.5);
    w.memberInt64Text("i", -2);
    w.endObject();
    w.endArray();
  };
  EXPECT_EQ(written(OutputStyle::compact, calls), R"(["x",[-1,false],{"d":0.5,"i":"-2"}])");
  EXPECT_EQ(written(OutputStyle::pretty, calls),
            "[\n"
            "  \"x\",\n"
            "  [\n"
            "    -1,\n"
            "    false\n"
            "  ],\n"
            "  {\n"
            "    \"d\": 0.5,\n"
            "    \"i\": \"-2\"\n"
            "  }\n"
            "]");
}

TEST(JsonContainers, MemberCallsWriteWhatKeyAndValueCallsWrite) {
  const std::vector<std::uint8_t> bytes = {1, 2};
  auto fused = [&](JsonWriter& w) {
    w.beginObject(9);
    w.memberUint32("a", 1);
    w.memberInt32("b", -2);
    w.memberUint64Text("c", 3);
    w.memberInt64Text("d", -4);
    w.memberBool("e", true);
    w.memberDouble("f", 0.25);
    w.memberString("g", "\t");
    w.memberBase64("h", bytes);
    w.memberQuotedName("i", "\"NAME\"");
    w.endObject();
  };
  auto separate = [&](JsonWriter& w) {
    w.beginObject(9);
    w.writeKey("a");
    w.writeUint32(1);
    w.writeKey("b");
    w.writeInt32(-2);
    w.writeKey("c");
    w.writeUint64Text(3);
    w.writeKey("d");
    w.writeInt64Text(-4);
    w.writeKey("e");
    w.writeBool(true);
    w.writeKey("f");
    w.writeDouble(0.25);
    w.writeKey("g");
    w.writeString("\t");
    w.writeKey("h");
    w.writeBase64(bytes);
    w.writeKey("i");
    w.writeQuotedName("\"NAME\"");
    w.endObject();
  };
  EXPECT_EQ(written(OutputStyle::compact, fused),
            R"({"a":1,"b":-2,"c":"3","d":"-4","e":true,"f":0.25,"g":"\t","h":"AQI=","i":"NAME"})");
  for (OutputStyle style : {OutputStyle::compact, OutputStyle::pretty}) {
    EXPECT_EQ(written(style, fused), written(style, separate));
  }
}

// A document with a value of every kind, every call made whatever happened before it; the
// writer's status is asked once, at the end.
JsonStatus everyKind(JsonWriter& w) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
  w.beginObject(4);
  w.memberString("text", "a\tb");
  w.memberBase64("bytes", bytes);
  w.writeKey("list");
  w.beginArray(3);
  w.beginElement();
  w.writeUint64Text(7);
  w.beginElement();
  w.writeDouble(1e300);
  w.beginElement();
  w.writeString(std::string(800, '\x02'));
  w.endArray();
  w.memberUint32("n", 12);
  w.endObject();
  return w.status();
}

TEST(JsonWriterFailure, SinkFailureStopsTheDocumentWithTheIoError) {
  for (OutputStyle style : {OutputStyle::compact, OutputStyle::pretty}) {
    const std::string full = written(style, [](JsonWriter& w) { (void)everyKind(w); });
    // Every cut-off point, the long escaped string included.
    for (std::size_t limit = 0; limit < full.size(); ++limit) {
      testing::LimitedSink sink(limit);
      JsonWriter writer(sink, style);
      JsonStatus status = everyKind(writer);
      ASSERT_FALSE(status.ok()) << limit;
      ASSERT_TRUE(std::holds_alternative<IoError>(status.error().kind)) << limit;
      EXPECT_EQ(std::get<IoError>(status.error().kind), IoError::os(EPIPE)) << limit;
      EXPECT_EQ(sink.taken(), std::string_view(full).substr(0, sink.taken().size())) << limit;
      EXPECT_EQ(sink.callsAfterFailure(), 0) << limit;
    }
  }
}

TEST(JsonWriterFailure, TheFirstFailureIsKeptAndNothingFollowsIt) {
  for (OutputStyle style : {OutputStyle::compact, OutputStyle::pretty}) {
    StringSink sink;
    JsonWriter writer(sink, style);
    writer.beginObject(2);
    writer.memberUint32("a", 1);
    writer.fail(invalidVariant(12));
    writer.fail(invalidVariant(13));
    writer.memberUint32("b", 2);
    writer.endObject();
    const std::string before = sink.text();
    EXPECT_EQ(before, style == OutputStyle::compact ? "{\"a\":1" : "{\n  \"a\": 1");
    EXPECT_FALSE(writer.ok());
    const JsonStatus status = writer.status();
    ASSERT_FALSE(status.ok());
    ASSERT_TRUE(std::holds_alternative<std::string>(status.error().kind));
    EXPECT_EQ(std::get<std::string>(status.error().kind), "Invalid variant 12");
  }
  // A sink failure first: a later fail() does not replace it.
  testing::LimitedSink sink(3);
  JsonWriter writer(sink, OutputStyle::compact);
  writer.beginObject(1);
  writer.memberString("key", "value");
  writer.fail(invalidVariant(7));
  const JsonStatus status = writer.status();
  ASSERT_FALSE(status.ok());
  ASSERT_TRUE(std::holds_alternative<IoError>(status.error().kind));
  EXPECT_EQ(sink.callsAfterFailure(), 0);
}

TEST(JsonWriterFailure, InvalidVariantText) {
  for (std::int32_t n : {12, -1, 0, INT32_MIN}) {
    const SerializerError e = invalidVariant(n);
    ASSERT_TRUE(std::holds_alternative<std::string>(e.kind));
    EXPECT_EQ(std::get<std::string>(e.kind), "Invalid variant " + std::to_string(n));
  }
}

}  // namespace
}  // namespace wirelens
