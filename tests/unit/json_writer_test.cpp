#include "json/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "json/string_sink.h"
#include "limited_sink.h"

namespace wirelens {
namespace {

// The text a writer produces for one sequence of calls; every call must succeed.
template <typename Calls>
std::string written(OutputStyle style, Calls calls) {
  StringSink sink(16);
  JsonWriter writer(sink, style);
  EXPECT_TRUE(calls(writer));
  return sink.text();
}

// Chains writer calls, stopping at the first failure.
bool all(std::initializer_list<bool> results) {
  for (bool ok : results)
    if (!ok) return false;
  return true;
}

std::string stringValue(std::string_view text) {
  return written(OutputStyle::compact, [&](JsonWriter& w) { return w.writeString(text).ok(); });
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
  EXPECT_EQ(
      written(OutputStyle::compact,
              [&](JsonWriter& w) {
                return all({w.beginObject(1).ok(), w.memberString("k", text), w.endObject().ok()});
              }),
      "{\"k\":" + json + "}");
}

TEST(JsonStrings, KeysGivenAsTextAreEscaped) {
  EXPECT_EQ(written(OutputStyle::compact,
                    [](JsonWriter& w) {
                      return all({w.beginObject(2).ok(), w.writeKey("a\"b").ok(),
                                  w.writeUint32(1).ok(), w.writeKey(std::string("\n")).ok(),
                                  w.writeUint32(2).ok(), w.endObject().ok()});
                    }),
            R"({"a\"b":1,"\n":2})");
}

TEST(JsonNumbers, IntegerExtremes) {
  auto text = [](auto call) { return written(OutputStyle::compact, call); };
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeUint32(0).ok(); }), "0");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeUint32(4294967295u).ok(); }), "4294967295");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt32(0).ok(); }), "0");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt32(-1).ok(); }), "-1");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt32(2147483647).ok(); }), "2147483647");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt32(INT32_MIN).ok(); }), "-2147483648");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeUint64Text(0).ok(); }), R"("0")");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeUint64Text(UINT64_MAX).ok(); }),
            R"("18446744073709551615")");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt64Text(0).ok(); }), R"("0")");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt64Text(-1500).ok(); }), R"("-1500")");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt64Text(INT64_MAX).ok(); }),
            R"("9223372036854775807")");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeInt64Text(INT64_MIN).ok(); }),
            R"("-9223372036854775808")");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeBool(true).ok(); }), "true");
  EXPECT_EQ(text([](JsonWriter& w) { return w.writeBool(false).ok(); }), "false");
}

TEST(JsonNumbers, EveryDigitCountOfBothWidths) {
  std::uint64_t v = 1;
  for (int digits = 1; digits <= 20; ++digits, v *= 10) {
    for (std::uint64_t x : {v, v - 1 + (digits == 1), v + 7}) {
      const std::string expected = std::to_string(x);
      EXPECT_EQ(
          written(OutputStyle::compact, [x](JsonWriter& w) { return w.writeUint64Text(x).ok(); }),
          "\"" + expected + "\"");
      if (x <= UINT32_MAX) {
        EXPECT_EQ(written(OutputStyle::compact,
                          [x](JsonWriter& w) {
                            return w.writeUint32(static_cast<std::uint32_t>(x)).ok();
                          }),
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
    EXPECT_EQ(
        written(OutputStyle::compact, [&](JsonWriter& w) { return w.writeDouble(c.value).ok(); }),
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
    EXPECT_EQ(
        written(OutputStyle::compact, [&](JsonWriter& w) { return w.writeBase64(c.bytes).ok(); }),
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
  EXPECT_EQ(written(OutputStyle::compact, [&](JsonWriter& w) { return w.writeBase64(bytes).ok(); }),
            json);
  EXPECT_EQ(
      written(OutputStyle::compact,
              [&](JsonWriter& w) {
                return all({w.beginObject(1).ok(), w.memberBase64("b", bytes), w.endObject().ok()});
              }),
      "{\"b\":" + json + "}");
}

TEST(JsonContainers, EmptyContainersHaveNothingBetweenTheirBrackets) {
  for (OutputStyle style : {OutputStyle::compact, OutputStyle::pretty}) {
    EXPECT_EQ(written(style,
                      [](JsonWriter& w) {
                        return all({w.beginObject(0).ok(), w.endObject().ok()});
                      }),
              "{}");
    EXPECT_EQ(written(style,
                      [](JsonWriter& w) {
                        return all({w.beginArray(0).ok(), w.endArray().ok()});
                      }),
              "[]");
  }
  auto nested = [](JsonWriter& w) {
    return all({w.beginObject(3).ok(), w.writeKey("a").ok(), w.beginObject(0).ok(),
                w.endObject().ok(), w.writeKey("b").ok(), w.beginArray(1).ok(),
                w.beginElement().ok(), w.beginObject(0).ok(), w.endObject().ok(), w.endArray().ok(),
                w.memberUint32("c", 1), w.endObject().ok()});
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
    return all({w.beginArray(3).ok(), w.beginElement().ok(), w.writeString("x").ok(),
                w.beginElement().ok(), w.beginArray(2).ok(), w.beginElement().ok(),
                w.writeInt32(-1).ok(), w.beginElement().ok(), w.writeBool(false).ok(),
                w.endArray().ok(), w.beginElement().ok(), w.beginObject(2).ok(),
                w.memberDouble("d", 0.5), w.memberInt64Text("i", -2), w.endObject().ok(),
                w.endArray().ok()});
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
    return all({w.beginObject(9).ok(), w.memberUint32("a", 1), w.memberInt32("b", -2),
                w.memberUint64Text("c", 3), w.memberInt64Text("d", -4), w.memberBool("e", true),
                w.memberDouble("f", 0.25), w.memberString("g", "\t"), w.memberBase64("h", bytes),
                w.memberQuotedName("i", "\"NAME\""), w.endObject().ok()});
  };
  auto separate = [&](JsonWriter& w) {
    return all({w.beginObject(9).ok(),
                w.writeKey("a").ok(),
                w.writeUint32(1).ok(),
                w.writeKey("b").ok(),
                w.writeInt32(-2).ok(),
                w.writeKey("c").ok(),
                w.writeUint64Text(3).ok(),
                w.writeKey("d").ok(),
                w.writeInt64Text(-4).ok(),
                w.writeKey("e").ok(),
                w.writeBool(true).ok(),
                w.writeKey("f").ok(),
                w.writeDouble(0.25).ok(),
                w.writeKey("g").ok(),
                w.writeString("\t").ok(),
                w.writeKey("h").ok(),
                w.writeBase64(bytes).ok(),
                w.writeKey("i").ok(),
                w.writeQuotedName("\"NAME\"").ok(),
                w.endObject().ok()});
  };
  EXPECT_EQ(written(OutputStyle::compact, fused),
            R"({"a":1,"b":-2,"c":"3","d":"-4","e":true,"f":0.25,"g":"\t","h":"AQI=","i":"NAME"})");
  for (OutputStyle style : {OutputStyle::compact, OutputStyle::pretty}) {
    EXPECT_EQ(written(style, fused), written(style, separate));
  }
}

// A document with a value of every kind, written call by call up to the first failure.
JsonStatus everyKind(JsonWriter& w) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
  auto fused = [&w](bool ok) -> JsonStatus {
    if (ok) return Done{};
    return fail(w.sinkError());
  };
  const std::vector<std::function<JsonStatus()>> steps = {
      [&] { return w.beginObject(4); },
      [&] { return fused(w.memberString("text", "a\tb")); },
      [&] { return fused(w.memberBase64("bytes", bytes)); },
      [&] { return w.writeKey("list"); },
      [&] { return w.beginArray(3); },
      [&] { return w.beginElement(); },
      [&] { return w.writeUint64Text(7); },
      [&] { return w.beginElement(); },
      [&] { return w.writeDouble(1e300); },
      [&] { return w.beginElement(); },
      [&] { return w.writeString(std::string(800, '\x02')); },
      [&] { return w.endArray(); },
      [&] { return fused(w.memberUint32("n", 12)); },
      [&] { return w.endObject(); },
  };
  for (const auto& step : steps) {
    JsonStatus status = step();
    if (!status.ok()) return status;
  }
  return Done{};
}

TEST(JsonWriterFailure, SinkFailureStopsTheDocumentWithTheIoError) {
  for (OutputStyle style : {OutputStyle::compact, OutputStyle::pretty}) {
    const std::string full = written(style, [](JsonWriter& w) { return everyKind(w).ok(); });
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

TEST(JsonWriterFailure, InvalidVariantText) {
  for (std::int32_t n : {12, -1, 0, INT32_MIN}) {
    const SerializerError e = invalidVariant(n);
    ASSERT_TRUE(std::holds_alternative<std::string>(e.kind));
    EXPECT_EQ(std::get<std::string>(e.kind), "Invalid variant " + std::to_string(n));
  }
}

}  // namespace
}  // namespace wirelens
