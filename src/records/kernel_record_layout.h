// The statistics device's per-socket record: 320 bytes, every integer little-endian, read
// by offset (the u64 at 260 is only 4-byte aligned). Offsets in bytes from the record start.
#pragma once

#include <cstddef>

namespace wirelens::kernel_record {

inline constexpr std::size_t kSize = 320;
inline constexpr unsigned kVersion = 1;
inline constexpr unsigned kFamilyInet6 = 28;  // AF_INET6 on FreeBSD
inline constexpr unsigned kFlagIpv6 = 0x01;

// clang-format off
inline constexpr std::size_t kVersionOffset        = 0;    // u32, must be 1
inline constexpr std::size_t kFlags                = 8;    // u8, bit 0: IPv6
inline constexpr std::size_t kFamily               = 16;   // u8, 28: IPv6
inline constexpr std::size_t kLocalPort            = 20;   // u16, host order
inline constexpr std::size_t kRemotePort           = 22;   // u16, host order
inline constexpr std::size_t kLocalAddr            = 24;   // 16 bytes (IPv4: first 4)
inline constexpr std::size_t kRemoteAddr           = 40;   // 16 bytes (IPv4: first 4)
inline constexpr std::size_t kState                = 56;   // u32, kernel numbering 0..10
inline constexpr std::size_t kTcpFlags             = 60;
inline constexpr std::size_t kSndCwnd              = 64;
inline constexpr std::size_t kSndSsthresh          = 68;
inline constexpr std::size_t kSndWnd               = 72;
inline constexpr std::size_t kRcvWnd               = 76;
inline constexpr std::size_t kMaxseg               = 80;
inline constexpr std::size_t kCcAlgo               = 84;   // 16-byte text
inline constexpr std::size_t kTcpStack             = 100;  // 16-byte text
inline constexpr std::size_t kTextSize             = 16;
inline constexpr std::size_t kRttUs                = 116;
inline constexpr std::size_t kRttvarUs             = 120;
inline constexpr std::size_t kRtoUs                = 124;
inline constexpr std::size_t kRttMinUs             = 128;
inline constexpr std::size_t kSndWscale            = 132;  // u8
inline constexpr std::size_t kRcvWscale            = 133;  // u8
inline constexpr std::size_t kNegotiatedOptions    = 134;  // u8
inline constexpr std::size_t kSndNxt               = 136;
inline constexpr std::size_t kSndUna               = 140;
inline constexpr std::size_t kSndMax               = 144;
inline constexpr std::size_t kRcvNxt               = 148;
inline constexpr std::size_t kRcvAdv               = 152;
inline constexpr std::size_t kRexmitPackets        = 156;
inline constexpr std::size_t kOooPackets           = 160;
inline constexpr std::size_t kZerowinProbes        = 164;
inline constexpr std::size_t kDupacks              = 168;
inline constexpr std::size_t kSackBlocks           = 172;
inline constexpr std::size_t kEcnFlags             = 176;
inline constexpr std::size_t kEcnCeDelivered       = 180;
inline constexpr std::size_t kEcnCeReceived        = 184;
inline constexpr std::size_t kDsackBytes           = 188;
inline constexpr std::size_t kDsackPackets         = 192;
inline constexpr std::size_t kTlpProbesSent        = 196;
inline constexpr std::size_t kTlpBytesSent         = 200;  // u64
inline constexpr std::size_t kTimerRexmtMs         = 208;  // i32, negative: not running
inline constexpr std::size_t kTimerPersistMs       = 212;
inline constexpr std::size_t kTimerKeepMs          = 216;
inline constexpr std::size_t kTimer2mslMs          = 220;
inline constexpr std::size_t kTimerDelackMs        = 224;
inline constexpr std::size_t kIdleTimeMs           = 228;
inline constexpr std::size_t kSndBufUsed           = 232;
inline constexpr std::size_t kSndBufHiwat          = 236;
inline constexpr std::size_t kRcvBufUsed           = 240;
inline constexpr std::size_t kRcvBufHiwat          = 244;
inline constexpr std::size_t kSocketId             = 248;  // u64, kernel address
inline constexpr std::size_t kUid                  = 256;
inline constexpr std::size_t kInpGencnt            = 260;  // u64, 4-byte aligned only
// clang-format on

}  // namespace wirelens::kernel_record
