// Fuzz target: the JSON writer over any tree of values. The input builds a tree of every
// value kind (strings of any bytes, numbers at their limits, doubles of any bits, base64
// bytes, enumeration names, nested objects and arrays, keys given as text or as fixed keys
// through the one-call member path). Expected: the compact and the pretty text each equal
// the reference spelling of the tree byte for byte, both read back as JSON to the same tree,
// and a sink that fails after any number of bytes leaves a prefix of the full text, reports
// its own error through the writer's status() and is not called again, though the
// caller goes on writing the whole tree.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "document/enumerations.h"
#include "fuzz_check.h"
#include "json/json_writer.h"
#include "limited_sink.h"
#include "memory_sinks.h"
#include "reference/json_reader.h"
#include "reference/json_text.h"

namespace {

using namespace wirelens;
using fuzz::Json;

constexpr JsonKey kKeys[] = {JsonKey("a"), JsonKey("localPort"),
                             JsonKey("k2345678901234567890123456789")};
constexpr std::string_view kKeyNames[] = {"a", "localPort", "k2345678901234567890123456789"};

enum class Kind {
  String,
  Uint32,
  Int32,
  Uint64Text,
  Int64Text,
  Bool,
  Double,
  Bytes,
  Name,
  Names,
  Object,
  Array,
};

struct Node {
  Kind kind = Kind::Uint32;
  std::string text;  // String, Bytes
  std::uint64_t number = 0;
  double real = 0;
  std::vector<std::int32_t> states;  // Name (one), Names
  // Object members and array elements; a member's key is fixed (fixedKey >= 0, written
  // as one member call when `fast`) or a text.
  struct Member {
    int fixedKey = -1;
    bool fast = false;
    std::string key;
    std::unique_ptr<Node> value;
  };
  std::vector<Member> members;
};

constexpr int kMaxDepth = 40;

std::unique_ptr<Node> makeNode(FuzzedDataProvider& in, int depth, int& budget) {
  auto node = std::make_unique<Node>();
  --budget;
  const int last = depth >= kMaxDepth || budget <= 0 ? static_cast<int>(Kind::Names)
                                                     : static_cast<int>(Kind::Array);
  node->kind = static_cast<Kind>(in.ConsumeIntegralInRange(0, last));
  switch (node->kind) {
    case Kind::String:
    case Kind::Bytes:
      // Some long enough to be written piece by piece.
      node->text = in.ConsumeRandomLengthString(in.ConsumeBool() ? 40 : 6000);
      break;
    case Kind::Double:
      node->real = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
      break;
    case Kind::Name:
      node->states.push_back(in.ConsumeIntegralInRange(1, 11));
      break;
    case Kind::Names:
      for (int n = in.ConsumeIntegralInRange(0, 5); n > 0; --n) {
        node->states.push_back(in.ConsumeIntegralInRange(1, 11));
      }
      break;
    case Kind::Object:
    case Kind::Array:
      for (int n = in.ConsumeIntegralInRange(0, 6); n > 0 && budget > 0; --n) {
        Node::Member member;
        if (node->kind == Kind::Object) {
          member.fixedKey = in.ConsumeIntegralInRange(-1, 2);
          member.fast = in.ConsumeBool();
          if (member.fixedKey < 0) member.key = in.ConsumeRandomLengthString(20);
        }
        member.value = makeNode(in, depth + 1, budget);
        node->members.push_back(std::move(member));
      }
      break;
    default:
      node->number = in.ConsumeIntegral<std::uint64_t>();
      break;
  }
  return node;
}

std::string stateName(std::int32_t state) {
  const std::string_view quoted = kTcpStateNames.quoted(state);
  return std::string(quoted.substr(1, quoted.size() - 2));
}

// The tree the text must read back to.
Json expected(const Node& node) {
  switch (node.kind) {
    case Kind::String:
      return fuzz::jsonString(node.text);
    case Kind::Uint32:
      return fuzz::jsonNumber(std::to_string(static_cast<std::uint32_t>(node.number)));
    case Kind::Int32:
      return fuzz::jsonNumber(std::to_string(static_cast<std::int32_t>(node.number)));
    case Kind::Uint64Text:
      return fuzz::jsonString(std::to_string(node.number));
    case Kind::Int64Text:
      return fuzz::jsonString(std::to_string(static_cast<std::int64_t>(node.number)));
    case Kind::Bool:
      return fuzz::jsonBool(node.number % 2 == 1);
    case Kind::Double:
      return fuzz::jsonDouble(node.real);
    case Kind::Bytes:
      return fuzz::jsonString(fuzz::base64Text(node.text));
    case Kind::Name:
      return fuzz::jsonString(stateName(node.states[0]));
    case Kind::Names: {
      Json array = fuzz::jsonArray();
      for (std::int32_t s : node.states) array.items.push_back(fuzz::jsonString(stateName(s)));
      return array;
    }
    case Kind::Object: {
      Json object = fuzz::jsonObject();
      for (const Node::Member& m : node.members) {
        object.members.emplace_back(m.fixedKey >= 0 ? std::string(kKeyNames[m.fixedKey]) : m.key,
                                    expected(*m.value));
      }
      return object;
    }
    case Kind::Array: {
      Json array = fuzz::jsonArray();
      for (const Node::Member& m : node.members) array.items.push_back(expected(*m.value));
      return array;
    }
  }
  return Json{};
}

// ---- The writer's interface: the only part that calls JsonWriter. ----

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void writeNode(JsonWriter& w, const Node& node);

// A fixed key and a scalar value as one member call; false when the value has none.
bool writeMember(JsonWriter& w, const JsonKey& key, const Node& v) {
  switch (v.kind) {
    case Kind::String:
      w.memberString(key, v.text);
      return true;
    case Kind::Uint32:
      w.memberUint32(key, static_cast<std::uint32_t>(v.number));
      return true;
    case Kind::Int32:
      w.memberInt32(key, static_cast<std::int32_t>(v.number));
      return true;
    case Kind::Uint64Text:
      w.memberUint64Text(key, v.number);
      return true;
    case Kind::Int64Text:
      w.memberInt64Text(key, static_cast<std::int64_t>(v.number));
      return true;
    case Kind::Bool:
      w.memberBool(key, v.number % 2 == 1);
      return true;
    case Kind::Double:
      w.memberDouble(key, v.real);
      return true;
    case Kind::Bytes:
      w.memberBase64(key, bytesOf(v.text));
      return true;
    case Kind::Name:
      w.memberQuotedName(key, kTcpStateNames.quoted(v.states[0]));
      return true;
    case Kind::Names:
      w.memberQuotedNames(key, v.states, [](std::int32_t n) { return kTcpStateNames.quoted(n); });
      return true;
    default:
      return false;
  }
}

// Writes the whole tree without looking at the writer's state: after a failure every call
// must write nothing, and status() alone tells the outcome.
void writeNode(JsonWriter& w, const Node& node) {
  switch (node.kind) {
    case Kind::String:
      return w.writeString(node.text);
    case Kind::Uint32:
      return w.writeUint32(static_cast<std::uint32_t>(node.number));
    case Kind::Int32:
      return w.writeInt32(static_cast<std::int32_t>(node.number));
    case Kind::Uint64Text:
      return w.writeUint64Text(node.number);
    case Kind::Int64Text:
      return w.writeInt64Text(static_cast<std::int64_t>(node.number));
    case Kind::Bool:
      return w.writeBool(node.number % 2 == 1);
    case Kind::Double:
      return w.writeDouble(node.real);
    case Kind::Bytes:
      return w.writeBase64(bytesOf(node.text));
    case Kind::Name:
      return w.writeQuotedName(kTcpStateNames.quoted(node.states[0]));
    case Kind::Names:
      w.beginArray(node.states.size());
      for (std::int32_t s : node.states) {
        w.beginElement();
        w.writeQuotedName(kTcpStateNames.quoted(s));
      }
      return w.endArray();
    case Kind::Object:
      w.beginObject(node.members.size());
      for (const Node::Member& m : node.members) {
        if (m.fixedKey >= 0 && m.fast && writeMember(w, kKeys[m.fixedKey], *m.value)) continue;
        if (m.fixedKey >= 0) {
          w.writeKey(kKeys[m.fixedKey]);
        } else {
          w.writeKey(std::string_view(m.key));
        }
        writeNode(w, *m.value);
      }
      return w.endObject();
    case Kind::Array:
      w.beginArray(node.members.size());
      for (const Node::Member& m : node.members) {
        w.beginElement();
        writeNode(w, *m.value);
      }
      return w.endArray();
  }
}

// ---- End of the writer's interface. ----

void checkStyle(const Node& root, const Json& model, OutputStyle style, FuzzedDataProvider& in) {
  const bool pretty = style == OutputStyle::pretty;
  StringSink sink;
  JsonWriter writer(sink, style);
  writeNode(writer, root);
  FUZZ_CHECK(writer.status().ok(), "the writer failed on a sink that never fails");
  const std::string text = sink.text();
  const std::string want = fuzz::jsonText(model, pretty);
  FUZZ_CHECK(
      text == want, "%s text differs from the reference at byte %zu", pretty ? "pretty" : "compact",
      static_cast<std::size_t>(
          std::mismatch(text.begin(), text.end(), want.begin(), want.end()).first - text.begin()));
  const std::optional<Json> read = fuzz::readJson(text);
  FUZZ_CHECK(read.has_value() && *read == model, "%s text does not read back to the tree",
             pretty ? "pretty" : "compact");

  if (text.empty()) return;
  const std::size_t limit = in.ConsumeIntegralInRange<std::size_t>(0, text.size() - 1);
  testing::LimitedSink limited(limit, EPIPE);
  JsonWriter failing(limited, style);
  writeNode(failing, root);
  const JsonStatus status = failing.status();
  FUZZ_CHECK(!status.ok() && !failing.ok(), "a document of %zu bytes fit in %zu", text.size(),
             limit);
  FUZZ_CHECK(limited.taken().size() <= limit &&
                 text.compare(0, limited.taken().size(), limited.taken()) == 0,
             "a sink failing after %zu bytes holds no prefix of the text", limit);
  FUZZ_CHECK(limited.callsAfterFailure() == 0, "the writer went on after the sink failed");
  const auto* io = std::get_if<IoError>(&status.error().kind);
  FUZZ_CHECK(io != nullptr && *io == IoError::os(EPIPE),
             "the sink's failure is not the writer's error");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  int budget = 300;
  const std::unique_ptr<Node> root = makeNode(in, 0, budget);
  const Json model = expected(*root);
  checkStyle(*root, model, OutputStyle::compact, in);
  checkStyle(*root, model, OutputStyle::pretty, in);
  return 0;
}
