#include "synthetic_sockets.h"

#include <algorithm>
#include <random>
#include <string_view>

#include "record_image.h"

namespace wirelens::testing {
namespace {

namespace kr = kernel_record;

// 5 to 16 bytes each; the 16-byte names fill the field with no terminator.
constexpr std::string_view kCcNames[] = {"cubic", "newreno",    "dctcp",
                                         "vegas", "htcp_tuned", "highspeed_cc_v16"};
constexpr std::string_view kStackNames[] = {"freebsd", "rack_v2", "bbr_stack", "tcp_rack_alt",
                                            "freebsd_bbr_1616"};
constexpr std::uint16_t kServicePorts[] = {22, 25, 53, 80, 443, 993, 5432, 8080};
constexpr std::uint32_t kUids[] = {0, 80, 1001, 1002, 65534};
constexpr unsigned kEstablished = 4;
constexpr unsigned kListen = 1;
constexpr unsigned kStateCount = 11;

// Plain modulo on the 64-bit engine keeps the sequence identical across standard libraries,
// whose distributions may differ.
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : engine_(seed) {}
  std::uint64_t below(std::uint64_t bound) { return engine_() % bound; }
  std::uint64_t between(std::uint64_t low, std::uint64_t high) {
    return low + below(high - low + 1);
  }
  bool chance(unsigned percent) { return below(100) < percent; }

 private:
  std::mt19937_64 engine_;
};

void putText(RecordImage& record, std::size_t offset, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    record[offset + i] = static_cast<unsigned char>(text[i]);
}

void putAddress(RecordImage& record, std::size_t offset, bool ipv6, bool unspecified, Draw& draw) {
  if (unspecified) return;
  if (!ipv6) {
    // Private and documentation ranges: 10/8, 192.168/16, 203.0.113/24.
    static constexpr unsigned char kPrefixes[][2] = {{10, 0}, {192, 168}, {203, 0}};
    const unsigned char* prefix = kPrefixes[draw.below(3)];
    record[offset] = prefix[0];
    record[offset + 1] = prefix[0] == 10 ? static_cast<unsigned char>(draw.below(256)) : prefix[1];
    record[offset + 2] = prefix[0] == 203 ? 113 : static_cast<unsigned char>(draw.below(256));
    record[offset + 3] = static_cast<unsigned char>(draw.between(1, 254));
    return;
  }
  // 2001:db8::/32 with random low bits, or a link-local fe80:: address.
  bool linkLocal = draw.chance(20);
  record[offset] = linkLocal ? 0xfe : 0x20;
  record[offset + 1] = linkLocal ? 0x80 : 0x01;
  record[offset + 2] = linkLocal ? 0 : 0x0d;
  record[offset + 3] = linkLocal ? 0 : 0xb8;
  for (std::size_t i = 8; i < 16; ++i)
    record[offset + i] = static_cast<unsigned char>(draw.below(256));
}

RecordImage makeRecord(std::size_t index, Draw& draw) {
  RecordImage r{};
  storeLe(r, kr::kVersionOffset, kr::kVersion, 4);
  // The first eleven records walk through every state; the rest are mostly established.
  unsigned state = index < kStateCount ? static_cast<unsigned>(index)
                   : draw.chance(70)   ? kEstablished
                                       : static_cast<unsigned>(draw.below(kStateCount));
  bool ipv6 = draw.chance(40);
  bool listening = state == kListen;
  bool connected = state != 0 && !listening;
  if (ipv6) {
    r[kr::kFlags] = kr::kFlagIpv6;
    r[kr::kFamily] = kr::kFamilyInet6;
  } else {
    r[kr::kFamily] = 2;
  }
  std::uint16_t service = kServicePorts[draw.below(std::size(kServicePorts))];
  bool inbound = draw.chance(50);
  std::uint64_t ephemeral = draw.between(49152, 65535);
  storeLe(r, kr::kLocalPort, listening || inbound ? service : ephemeral, 2);
  storeLe(r, kr::kRemotePort, !connected ? 0 : inbound ? ephemeral : service, 2);
  putAddress(r, kr::kLocalAddr, ipv6, listening && draw.chance(60), draw);
  putAddress(r, kr::kRemoteAddr, ipv6, !connected, draw);
  storeLe(r, kr::kState, state, 4);
  storeLe(r, kr::kTcpFlags, draw.below(0x10000) & 0x3fe4, 4);

  std::uint32_t maxseg = ipv6 ? 1440 : draw.chance(80) ? 1460 : 8948;
  storeLe(r, kr::kMaxseg, maxseg, 4);
  storeLe(r, kr::kSndCwnd, connected ? maxseg * draw.between(2, 700) : maxseg * 10, 4);
  storeLe(r, kr::kSndSsthresh, draw.chance(50) ? 0x3fffc000 : maxseg * draw.between(8, 2000), 4);
  storeLe(r, kr::kSndWnd, connected ? draw.between(8192, 4194304) : 0, 4);
  storeLe(r, kr::kRcvWnd, draw.between(16384, 4194304), 4);
  putText(r, kr::kCcAlgo, kCcNames[draw.below(std::size(kCcNames))]);
  putText(r, kr::kTcpStack, kStackNames[draw.below(std::size(kStackNames))]);

  std::uint64_t rtt = connected ? draw.between(80, 250000) : 0;
  storeLe(r, kr::kRttUs, rtt, 4);
  storeLe(r, kr::kRttvarUs, rtt / 2 + draw.below(rtt / 4 + 1), 4);
  storeLe(r, kr::kRtoUs, std::max<std::uint64_t>(200000, rtt + 4 * (rtt / 2)), 4);
  storeLe(r, kr::kRttMinUs, rtt - rtt / 5, 4);
  r[kr::kSndWscale] = static_cast<unsigned char>(draw.below(15));
  r[kr::kRcvWscale] = static_cast<unsigned char>(draw.below(15));
  r[kr::kNegotiatedOptions] = static_cast<unsigned char>(draw.below(32));

  std::uint64_t iss = draw.below(1ull << 32);
  std::uint64_t sent = connected ? draw.below(1ull << 30) : 0;
  std::uint64_t inFlight = connected ? draw.below(65536) : 0;
  storeLe(r, kr::kSndUna, iss + sent - inFlight, 4);
  storeLe(r, kr::kSndNxt, iss + sent, 4);
  storeLe(r, kr::kSndMax, iss + sent, 4);
  std::uint64_t irs = draw.below(1ull << 32);
  std::uint64_t rcvNxt = irs + (connected ? draw.below(1ull << 30) : 0);
  storeLe(r, kr::kRcvNxt, rcvNxt, 4);
  storeLe(r, kr::kRcvAdv, rcvNxt + 65535, 4);

  bool lossy = connected && draw.chance(25);
  auto counter = [&](std::uint64_t high) { return lossy ? draw.below(high + 1) : 0; };
  storeLe(r, kr::kRexmitPackets, counter(5000), 4);
  storeLe(r, kr::kOooPackets, counter(800), 4);
  storeLe(r, kr::kZerowinProbes, counter(20), 4);
  storeLe(r, kr::kDupacks, counter(3000), 4);
  storeLe(r, kr::kSackBlocks, counter(4000), 4);
  bool ecn = draw.chance(15);
  storeLe(r, kr::kEcnFlags, ecn ? draw.between(1, 7) : 0, 4);
  storeLe(r, kr::kEcnCeDelivered, ecn ? draw.below(500) : 0, 4);
  storeLe(r, kr::kEcnCeReceived, ecn ? draw.below(500) : 0, 4);
  storeLe(r, kr::kDsackBytes, counter(200000), 4);
  storeLe(r, kr::kDsackPackets, counter(150), 4);
  std::uint64_t probes = counter(40);
  storeLe(r, kr::kTlpProbesSent, probes, 4);
  storeLe(r, kr::kTlpBytesSent, probes * maxseg, 8);

  // A stopped timer reads -1, as the kernel reports it.
  auto timer = [&](bool running, std::uint64_t high) -> std::uint64_t {
    return running ? draw.below(high) : static_cast<std::uint32_t>(-1);
  };
  storeLe(r, kr::kTimerRexmtMs, timer(inFlight > 0, 3000), 4);
  storeLe(r, kr::kTimerPersistMs, timer(connected && draw.chance(3), 5000), 4);
  storeLe(r, kr::kTimerKeepMs, timer(connected, 7200000), 4);
  storeLe(r, kr::kTimer2mslMs, timer(state == 10, 60000), 4);
  storeLe(r, kr::kTimerDelackMs, timer(connected && draw.chance(10), 100), 4);
  storeLe(r, kr::kIdleTimeMs, draw.below(600000), 4);

  std::uint64_t sndHiwat = draw.chance(50) ? 32768 : 2097152;
  std::uint64_t rcvHiwat = draw.chance(50) ? 65536 : 2097152;
  storeLe(r, kr::kSndBufUsed, connected ? draw.below(sndHiwat) : 0, 4);
  storeLe(r, kr::kSndBufHiwat, sndHiwat, 4);
  storeLe(r, kr::kRcvBufUsed, connected ? draw.below(rcvHiwat / 4) : 0, 4);
  storeLe(r, kr::kRcvBufHiwat, rcvHiwat, 4);

  // Kernel-looking addresses, one 1 KiB slot per record so that none repeats.
  storeLe(r, kr::kSocketId, 0xfffff80012000000ull + index * 0x400 + (draw.below(64) << 4), 8);
  storeLe(r, kr::kUid, kUids[draw.below(std::size(kUids))], 4);
  storeLe(r, kr::kInpGencnt, 1000 + index * 3 + draw.below(3), 8);
  return r;
}

}  // namespace

std::string syntheticRecords(std::size_t count, std::uint64_t seed) {
  Draw draw(seed);
  std::string capture;
  capture.reserve(count * kr::kSize);
  for (std::size_t i = 0; i < count; ++i) appendRecord(capture, makeRecord(i, draw));
  return capture;
}

}  // namespace wirelens::testing
