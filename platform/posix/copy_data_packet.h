// The packets that carry one WM_COPYDATA message to an IM window endpoint and
// its answer back, each one SOCK_SEQPACKET record. All integers little-endian.
//
// Request (32-byte header, then the data):
//   0   u32  message   0x004A (WM_COPYDATA)
//   4   u32  reserved  0
//   8   u64  wParam
//   16  u64  dwData
//   24  u32  cbData    number of data bytes; the packet is 32 + cbData bytes
//   28  u32  reserved  0
//   32  cbData bytes   the data (lpData's bytes)
//
// Reply (16 bytes):
//   0   u32  message   0x004A, echoed
//   4   u32  reserved  0
//   8   i64  result    the LRESULT the receiver returned
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/copy_data_message.h"

namespace corvo::platform {

inline constexpr uint32_t kWmCopyData = 0x004A;
inline constexpr size_t kCopyDataHeaderSize = 32;
inline constexpr size_t kCopyDataReplySize = 16;
// Largest cbData carried; larger messages are refused by both sides.
inline constexpr uint32_t kMaxCopyDataBytes = 64 * 1024;

// Nothing when the data is larger than kMaxCopyDataBytes.
std::optional<std::vector<uint8_t>> EncodeCopyDataRequest(uint64_t wParam, uint64_t dwData,
                                                          std::span<const uint8_t> data);
// Nothing unless the packet is exactly a request of the form above.
std::optional<CopyDataMessage> DecodeCopyDataRequest(std::span<const uint8_t> packet);

std::vector<uint8_t> EncodeCopyDataReply(int64_t result);
std::optional<int64_t> DecodeCopyDataReply(std::span<const uint8_t> packet);

}  // namespace corvo::platform
