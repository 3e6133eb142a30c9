#include "capture_description.h"

#include <arpa/inet.h>

#include <array>
#include <optional>
#include <vector>

#include "number_text.h"

namespace wirelens::testing {
namespace {

namespace kr = kernel_record;

enum class Kind { U8, U16, U32, U64, I32, Text, Address, State, SocketId };

struct FieldSpec {
  std::string_view name;
  std::size_t offset;
  Kind kind;
};

// clang-format off
constexpr FieldSpec kFields[] = {
    {"version", kr::kVersionOffset, Kind::U32},       {"flags", kr::kFlags, Kind::U8},
    {"family", kr::kFamily, Kind::U8},                {"localPort", kr::kLocalPort, Kind::U16},
    {"remotePort", kr::kRemotePort, Kind::U16},       {"localAddr", kr::kLocalAddr, Kind::Address},
    {"remoteAddr", kr::kRemoteAddr, Kind::Address},   {"state", kr::kState, Kind::State},
    {"tcpFlags", kr::kTcpFlags, Kind::U32},           {"sndCwnd", kr::kSndCwnd, Kind::U32},
    {"sndSsthresh", kr::kSndSsthresh, Kind::U32},     {"sndWnd", kr::kSndWnd, Kind::U32},
    {"rcvWnd", kr::kRcvWnd, Kind::U32},               {"maxseg", kr::kMaxseg, Kind::U32},
    {"ccAlgo", kr::kCcAlgo, Kind::Text},              {"cc", kr::kCcAlgo, Kind::Text},
    {"tcpStack", kr::kTcpStack, Kind::Text},          {"stack", kr::kTcpStack, Kind::Text},
    {"rttUs", kr::kRttUs, Kind::U32},                 {"rttvarUs", kr::kRttvarUs, Kind::U32},
    {"rtoUs", kr::kRtoUs, Kind::U32},                 {"rttMinUs", kr::kRttMinUs, Kind::U32},
    {"sndWscale", kr::kSndWscale, Kind::U8},          {"rcvWscale", kr::kRcvWscale, Kind::U8},
    {"negotiatedOptions", kr::kNegotiatedOptions, Kind::U8},
    {"sndNxt", kr::kSndNxt, Kind::U32},               {"sndUna", kr::kSndUna, Kind::U32},
    {"sndMax", kr::kSndMax, Kind::U32},               {"rcvNxt", kr::kRcvNxt, Kind::U32},
    {"rcvAdv", kr::kRcvAdv, Kind::U32},               {"rexmitPackets", kr::kRexmitPackets, Kind::U32},
    {"oooPackets", kr::kOooPackets, Kind::U32},       {"zerowinProbes", kr::kZerowinProbes, Kind::U32},
    {"dupacks", kr::kDupacks, Kind::U32},             {"sackBlocks", kr::kSackBlocks, Kind::U32},
    {"ecnFlags", kr::kEcnFlags, Kind::U32},           {"ecnCeDelivered", kr::kEcnCeDelivered, Kind::U32},
    {"ecnCeReceived", kr::kEcnCeReceived, Kind::U32}, {"dsackBytes", kr::kDsackBytes, Kind::U32},
    {"dsackPackets", kr::kDsackPackets, Kind::U32},   {"tlpProbesSent", kr::kTlpProbesSent, Kind::U32},
    {"tlpBytesSent", kr::kTlpBytesSent, Kind::U64},   {"timerRexmtMs", kr::kTimerRexmtMs, Kind::I32},
    {"timerPersistMs", kr::kTimerPersistMs, Kind::I32}, {"timerKeepMs", kr::kTimerKeepMs, Kind::I32},
    {"timer2mslMs", kr::kTimer2mslMs, Kind::I32},     {"timerDelackMs", kr::kTimerDelackMs, Kind::I32},
    {"idleTimeMs", kr::kIdleTimeMs, Kind::I32},       {"sndBufUsed", kr::kSndBufUsed, Kind::U32},
    {"sndBufHiwat", kr::kSndBufHiwat, Kind::U32},     {"rcvBufUsed", kr::kRcvBufUsed, Kind::U32},
    {"rcvBufHiwat", kr::kRcvBufHiwat, Kind::U32},     {"socketId", kr::kSocketId, Kind::SocketId},
    {"uid", kr::kUid, Kind::U32},                     {"inpGencnt", kr::kInpGencnt, Kind::U64},
};

// Kernel numbering; the name is the index.
constexpr std::string_view kStateNames[] = {
    "CLOSED", "LISTEN", "SYN_SENT", "SYN_RECEIVED", "ESTABLISHED", "CLOSE_WAIT",
    "FIN_WAIT_1", "CLOSING", "LAST_ACK", "FIN_WAIT_2", "TIME_WAIT"};
// clang-format on

constexpr unsigned kFamilyInet = 2;

std::size_t widthOf(Kind kind) {
  switch (kind) {
    case Kind::U8:
      return 1;
    case Kind::U16:
      return 2;
    case Kind::U64:
    case Kind::SocketId:
      return 8;
    default:
      return 4;
  }
}

const FieldSpec* findField(std::string_view name) {
  for (const FieldSpec& field : kFields)
    if (field.name == name) return &field;
  return nullptr;
}

std::optional<std::uint64_t> parseInteger(Kind kind, std::string_view value) {
  if (kind == Kind::I32) {
    auto v = parseSigned(value, INT32_MIN, INT32_MAX);
    if (!v) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
  }
  std::size_t width = widthOf(kind);
  return parseUnsigned(value, width == 8 ? UINT64_MAX : (std::uint64_t{1} << (8 * width)) - 1);
}

std::optional<std::uint64_t> parseState(std::string_view value) {
  for (std::size_t i = 0; i < std::size(kStateNames); ++i)
    if (kStateNames[i] == value) return i;
  return parseUnsigned(value, UINT32_MAX);
}

// Text with \xHH escapes, so that tests can place bytes that are not valid UTF-8.
std::optional<std::string> parseText(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      text += value[i];
      continue;
    }
    if (i + 4 > value.size() || value[i + 1] != 'x') return std::nullopt;
    auto byte = parseUnsigned(std::string("0x") + std::string(value.substr(i + 2, 2)), 255);
    if (!byte) return std::nullopt;
    text += static_cast<char>(*byte);
    i += 3;
  }
  return text;
}

struct Address {
  std::array<unsigned char, 16> bytes{};
  bool ipv6 = false;
};

std::optional<Address> parseAddress(std::string_view value) {
  Address address;
  std::string text(value);
  if (::inet_pton(AF_INET, text.c_str(), address.bytes.data()) == 1) return address;
  if (::inet_pton(AF_INET6, text.c_str(), address.bytes.data()) != 1) return std::nullopt;
  address.ipv6 = true;
  return address;
}

struct Builder {
  RecordImage record{};
  std::optional<bool> ipv6;  // set by the first address written
  std::string error;

  bool fail(std::string message) {
    if (error.empty()) error = std::move(message);
    return false;
  }

  bool putAddress(std::size_t offset, std::string_view value) {
    std::optional<Address> address = parseAddress(value);
    if (!address) return fail("bad address '" + std::string(value) + "'");
    if (ipv6 && *ipv6 != address->ipv6) return fail("IPv4 and IPv6 addresses in one socket");
    ipv6 = address->ipv6;
    std::size_t length = address->ipv6 ? 16 : 4;
    for (std::size_t i = 0; i < length; ++i) record[offset + i] = address->bytes[i];
    return true;
  }

  // "10.0.0.5:22" or "[2001:db8::1]:443".
  bool putEndpoint(std::size_t addressOffset, std::size_t portOffset, std::string_view value) {
    std::size_t colon = value.rfind(':');
    if (colon == std::string_view::npos)
      return fail("endpoint '" + std::string(value) + "' has no port");
    std::string_view host = value.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
      host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string_view::npos)
      return fail("IPv6 endpoint '" + std::string(value) + "' needs [brackets]");
    auto port = parseUnsigned(value.substr(colon + 1), 65535);
    if (!port) return fail("bad port in '" + std::string(value) + "'");
    storeLe(record, portOffset, *port, 2);
    return putAddress(addressOffset, host);
  }

  // "@OFFSET:TYPE=VALUE", TYPE one of u8 u16 u32 u64 i32 hex.
  bool poke(std::string_view target, std::string_view value) {
    std::size_t colon = target.find(':');
    if (colon == std::string_view::npos)
      return fail("raw store '" + std::string(target) + "' needs :TYPE");
    auto offset = parseUnsigned(target.substr(1, colon - 1), kernel_record::kSize);
    std::string_view type = target.substr(colon + 1);
    if (!offset) return fail("bad offset in '" + std::string(target) + "'");
    if (type == "hex") {
      if (value.size() % 2 != 0 || *offset + value.size() / 2 > kernel_record::kSize)
        return fail("hex bytes '" + std::string(value) + "' do not fit at " +
                    std::to_string(*offset));
      for (std::size_t i = 0; i < value.size(); i += 2) {
        auto byte = parseUnsigned("0x" + std::string(value.substr(i, 2)), 255);
        if (!byte) return fail("bad hex bytes '" + std::string(value) + "'");
        record[*offset + i / 2] = static_cast<unsigned char>(*byte);
      }
      return true;
    }
    Kind kind;
    if (type == "u8")
      kind = Kind::U8;
    else if (type == "u16")
      kind = Kind::U16;
    else if (type == "u32")
      kind = Kind::U32;
    else if (type == "u64")
      kind = Kind::U64;
    else if (type == "i32")
      kind = Kind::I32;
    else
      return fail("unknown store type '" + std::string(type) + "'");
    if (*offset + widthOf(kind) > kernel_record::kSize)
      return fail("store at " + std::to_string(*offset) + " runs past the record");
    auto number = parseInteger(kind, value);
    if (!number) return fail("bad value '" + std::string(value) + "' for " + std::string(type));
    storeLe(record, *offset, *number, widthOf(kind));
    return true;
  }

  bool put(const FieldSpec& field, std::string_view value) {
    std::string name(field.name);
    switch (field.kind) {
      case Kind::Address:
        return putAddress(field.offset, value);
      case Kind::Text: {
        std::optional<std::string> text = parseText(value);
        if (!text) return fail("bad escape in " + name + " '" + std::string(value) + "'");
        if (text->size() > kernel_record::kTextSize)
          return fail(name + " '" + std::string(value) + "' is longer than 16 bytes");
        for (std::size_t i = 0; i < kernel_record::kTextSize; ++i)
          record[field.offset + i] = i < text->size() ? static_cast<unsigned char>((*text)[i]) : 0;
        return true;
      }
      case Kind::State: {
        auto state = parseState(value);
        if (!state) return fail("bad state '" + std::string(value) + "'");
        storeLe(record, field.offset, *state, 4);
        return true;
      }
      case Kind::SocketId:
        if (value == "own") {
          storeLe(record, field.offset, kOwnSocketMarker, 8);
          return true;
        }
        [[fallthrough]];
      default: {
        auto number = parseInteger(field.kind, value);
        if (!number) return fail("bad value '" + std::string(value) + "' for " + name);
        storeLe(record, field.offset, *number, widthOf(field.kind));
        return true;
      }
    }
  }
};

}  // namespace

std::vector<std::string_view> splitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

std::string_view stripComment(std::string_view line) {
  line = line.substr(0, line.find('#'));
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

ParsedRecord parseSocketFields(std::string_view fields) {
  Builder builder;
  storeLe(builder.record, kernel_record::kVersionOffset, kernel_record::kVersion, 4);
  // Family and flags follow the addresses unless given; raw stores come last so that they
  // can overwrite anything.
  std::vector<std::pair<const FieldSpec*, std::string_view>> familyFields;
  std::vector<std::pair<std::string_view, std::string_view>> pokes;
  for (std::string_view word : splitWords(fields)) {
    std::size_t equals = word.find('=');
    if (equals == std::string_view::npos) {
      builder.fail("field '" + std::string(word) + "' has no '='");
      break;
    }
    std::string_view name = word.substr(0, equals);
    std::string_view value = word.substr(equals + 1);
    if (name.starts_with('@')) {
      pokes.emplace_back(name, value);
    } else if (name == "local") {
      builder.putEndpoint(kernel_record::kLocalAddr, kernel_record::kLocalPort, value);
    } else if (name == "remote") {
      builder.putEndpoint(kernel_record::kRemoteAddr, kernel_record::kRemotePort, value);
    } else if (const FieldSpec* field = findField(name)) {
      if (name == "flags" || name == "family")
        familyFields.emplace_back(field, value);
      else
        builder.put(*field, value);
    } else {
      builder.fail("unknown field '" + std::string(name) + "'");
    }
    if (!builder.error.empty()) break;
  }
  if (builder.ipv6) {
    builder.record[kernel_record::kFamily] =
        *builder.ipv6 ? kernel_record::kFamilyInet6 : kFamilyInet;
    if (*builder.ipv6) builder.record[kernel_record::kFlags] |= kernel_record::kFlagIpv6;
  }
  for (auto& [field, value] : familyFields) builder.put(*field, value);
  for (auto& [target, value] : pokes) builder.poke(target, value);
  return {builder.record, builder.error};
}

ParsedCapture parseCaptureDescription(std::string_view text) {
  ParsedCapture parsed;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    std::size_t end = text.find('\n');
    std::string_view line = stripComment(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    std::vector<std::string_view> words = splitWords(line);
    if (words[0] != "socket") {
      parsed.error = "line " + std::to_string(lineNumber) + ": expected 'socket', got '" +
                     std::string(words[0]) + "'";
      parsed.bytes.clear();
      return parsed;
    }
    ParsedRecord record = parseSocketFields(line.substr(words[0].size()));
    if (!record.error.empty()) {
      parsed.error = "line " + std::to_string(lineNumber) + ": " + record.error;
      parsed.bytes.clear();
      return parsed;
    }
    appendRecord(parsed.bytes, record.record);
  }
  return parsed;
}

}  // namespace wirelens::testing
