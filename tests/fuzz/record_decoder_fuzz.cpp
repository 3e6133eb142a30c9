// Fuzz target: the record decoder over any bytes. The whole 320-byte records of the input
// are decoded with a claimed count taken from a trailing part record (its first byte), or
// the whole count when there is none. Expected: the first record of another version fails
// the decode with that version; otherwise one socket per whole record up to the claim, each
// field equal to the bytes read here at the record's offsets.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "records/record_decoder.h"
#include "reference/utf8_reference.h"

namespace {

using namespace wirelens;

constexpr std::size_t kRecord = 320;

// A little-endian field of `width` bytes at `offset` of the record at `base`.
std::uint64_t field(const std::uint8_t* base, std::size_t offset, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | base[offset + i];
  return value;
}

template <typename T>
void expectField(const std::optional<T>& got, std::uint64_t expected, const char* name,
                 std::size_t record) {
  FUZZ_CHECK(got.has_value() && static_cast<std::uint64_t>(*got) == expected,
             "record %zu: %s is %llu, the bytes say %llu", record, name,
             got ? static_cast<unsigned long long>(*got) : 0ull,
             static_cast<unsigned long long>(expected));
}

// A timer: signed at its offset, a negative one shown as 0.
std::uint64_t timer(const std::uint8_t* base, std::size_t offset) {
  const auto raw = static_cast<std::uint32_t>(field(base, offset, 4));
  return raw >= 0x80000000u ? 0 : raw;
}

std::optional<std::string> text(const std::uint8_t* base, std::size_t offset) {
  const auto* chars = reinterpret_cast<const char*>(base + offset);
  std::size_t length = 0;
  while (length < 16 && chars[length] != '\0') ++length;
  std::string decoded = fuzz::referenceLossyUtf8(std::string_view(chars, length));
  if (decoded.empty()) return std::nullopt;
  return decoded;
}

void checkAddress(const Address& got, const std::uint8_t* base, std::size_t offset,
                  std::size_t size, std::size_t record) {
  FUZZ_CHECK(got.size == size, "record %zu: address of %u bytes, expected %zu", record,
             unsigned{got.size}, size);
  FUZZ_CHECK(std::equal(base + offset, base + offset + size, got.bytes.begin()),
             "record %zu: address bytes at %zu differ", record, offset);
}

void checkSocket(const DecodedSocket& s, const std::uint8_t* r, std::size_t i) {
  const bool ipv6 = (r[8] & 1) != 0 || r[16] == 28;
  expectField(s.ipVersion, ipv6 ? 6 : 4, "ipVersion", i);
  checkAddress(s.localAddr, r, 24, ipv6 ? 16 : 4, i);
  checkAddress(s.remoteAddr, r, 40, ipv6 ? 16 : 4, i);
  expectField(s.localPort, field(r, 20, 2), "localPort", i);
  expectField(s.remotePort, field(r, 22, 2), "remotePort", i);

  struct U32Field {
    const std::optional<std::uint32_t>& got;
    std::size_t offset;
    const char* name;
  };
  const U32Field u32s[] = {
      {s.state, 56, "state"},
      {s.tcpFlags, 60, "tcpFlags"},
      {s.sndCwnd, 64, "sndCwnd"},
      {s.sndSsthresh, 68, "sndSsthresh"},
      {s.sndWnd, 72, "sndWnd"},
      {s.rcvWnd, 76, "rcvWnd"},
      {s.maxseg, 80, "maxseg"},
      {s.rttUs, 116, "rttUs"},
      {s.rttvarUs, 120, "rttvarUs"},
      {s.rtoUs, 124, "rtoUs"},
      {s.rttMinUs, 128, "rttMinUs"},
      {s.sndNxt, 136, "sndNxt"},
      {s.sndUna, 140, "sndUna"},
      {s.sndMax, 144, "sndMax"},
      {s.rcvNxt, 148, "rcvNxt"},
      {s.rcvAdv, 152, "rcvAdv"},
      {s.rexmitPackets, 156, "rexmit"},
      {s.oooPackets, 160, "oooPackets"},
      {s.zerowinProbes, 164, "zerowin"},
      {s.dupacks, 168, "dupacks"},
      {s.sackBlocks, 172, "sackBlocks"},
      {s.ecnFlags, 176, "ecnFlags"},
      {s.ecnCeDelivered, 180, "ecnCeDelivered"},
      {s.ecnCeReceived, 184, "ecnCeReceived"},
      {s.dsackBytes, 188, "dsackBytes"},
      {s.dsackPackets, 192, "dsackPackets"},
      {s.tlpProbesSent, 196, "tlpProbesSent"},
      {s.sndBufUsed, 232, "sndBufUsed"},
      {s.sndBufHiwat, 236, "sndBufHiwat"},
      {s.rcvBufUsed, 240, "rcvBufUsed"},
      {s.rcvBufHiwat, 244, "rcvBufHiwat"},
      {s.uid, 256, "uid"},
  };
  for (const U32Field& f : u32s) expectField(f.got, field(r, f.offset, 4), f.name, i);

  expectField(s.sndWscale, r[132], "sndWscale", i);
  expectField(s.rcvWscale, r[133], "rcvWscale", i);
  expectField(s.negotiatedOptions, r[134], "negotiatedOptions", i);
  expectField(s.tlpBytesSent, field(r, 200, 8), "tlpBytesSent", i);
  expectField(s.socketId, field(r, 248, 8), "socketId", i);
  expectField(s.inpGencnt, field(r, 260, 8), "inpGencnt", i);

  expectField(s.timerRexmtMs, timer(r, 208), "timerRexmtMs", i);
  expectField(s.timerPersistMs, timer(r, 212), "timerPersistMs", i);
  expectField(s.timerKeepMs, timer(r, 216), "timerKeepMs", i);
  expectField(s.timer2mslMs, timer(r, 220), "timer2mslMs", i);
  expectField(s.timerDelackMs, timer(r, 224), "timerDelackMs", i);
  expectField(s.idleTimeMs, timer(r, 228), "idleTimeMs", i);

  FUZZ_CHECK(s.ccAlgo == text(r, 84), "record %zu: ccAlgo", i);
  FUZZ_CHECK(s.tcpStack == text(r, 100), "record %zu: tcpStack", i);
  FUZZ_CHECK(s.sources.size() == 1 && s.sources[0] == 5, "record %zu: sources", i);
  FUZZ_CHECK(!s.pid && !s.fd && !s.rxtShift && !s.startTimeSecs && !s.effectivePid,
             "record %zu: a field this decoder never sets is set", i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t whole = size / kRecord;
  const std::size_t claimed = size % kRecord != 0 ? data[whole * kRecord] : whole;
  const std::size_t decoded = std::min(claimed, whole);

  Result<std::vector<DecodedSocket>, CollectorError> result =
      decodeRecords(std::as_bytes(std::span(data, size)), claimed);

  std::optional<std::uint32_t> badVersion;
  for (std::size_t i = 0; i < decoded && !badVersion; ++i) {
    const auto version = static_cast<std::uint32_t>(field(data + i * kRecord, 0, 4));
    if (version != 1) badVersion = version;
  }
  if (badVersion) {
    FUZZ_CHECK(!result.ok(), "version %u was accepted", *badVersion);
    const auto* mismatch = std::get_if<CollectorError::VersionMismatch>(&result.error().kind);
    FUZZ_CHECK(mismatch != nullptr && mismatch->expected == 1 && mismatch->got == *badVersion,
               "not VersionMismatch{1, %u}", *badVersion);
    return 0;
  }
  FUZZ_CHECK(result.ok(), "a decode of version-1 records failed");
  const std::vector<DecodedSocket>& sockets = result.value();
  FUZZ_CHECK(sockets.size() == decoded, "%zu sockets from %zu whole records claimed as %zu",
             sockets.size(), whole, claimed);
  for (std::size_t i = 0; i < decoded; ++i) checkSocket(sockets[i], data + i * kRecord, i);
  return 0;
}
