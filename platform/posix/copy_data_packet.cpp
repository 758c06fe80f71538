#include "platform/posix/copy_data_packet.h"

namespace corvo::platform {
namespace {

void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

uint64_t Get(std::span<const uint8_t> in, size_t offset, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | in[offset + size_t(i)];
    return value;
}

}  // namespace

std::optional<std::vector<uint8_t>> EncodeCopyDataRequest(uint64_t wParam, uint64_t dwData,
                                                          std::span<const uint8_t> data) {
    if (data.size() > kMaxCopyDataBytes) return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(kCopyDataHeaderSize + data.size());
    Put(out, kWmCopyData, 4);
    Put(out, 0, 4);
    Put(out, wParam, 8);
    Put(out, dwData, 8);
    Put(out, data.size(), 4);
    Put(out, 0, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::optional<CopyDataMessage> DecodeCopyDataRequest(std::span<const uint8_t> packet) {
    if (packet.size() < kCopyDataHeaderSize || Get(packet, 0, 4) != kWmCopyData ||
        Get(packet, 4, 4) != 0 || Get(packet, 28, 4) != 0)
        return std::nullopt;
    const uint64_t cbData = Get(packet, 24, 4);
    if (cbData > kMaxCopyDataBytes || packet.size() - kCopyDataHeaderSize != cbData)
        return std::nullopt;
    CopyDataMessage message;
    message.wParam = Get(packet, 8, 8);
    message.dwData = Get(packet, 16, 8);
    message.data.assign(packet.begin() + kCopyDataHeaderSize, packet.end());
    return message;
}

std::vector<uint8_t> EncodeCopyDataReply(int64_t result) {
    std::vector<uint8_t> out;
    out.reserve(kCopyDataReplySize);
    Put(out, kWmCopyData, 4);
    Put(out, 0, 4);
    Put(out, uint64_t(result), 8);
    return out;
}

std::optional<int64_t> DecodeCopyDataReply(std::span<const uint8_t> packet) {
    if (packet.size() != kCopyDataReplySize || Get(packet, 0, 4) != kWmCopyData ||
        Get(packet, 4, 4) != 0)
        return std::nullopt;
    return int64_t(Get(packet, 8, 8));
}

}  // namespace corvo::platform
