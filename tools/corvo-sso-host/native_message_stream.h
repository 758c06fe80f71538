// Native-messaging framing: each message is a 32-bit length in the machine's
// byte order followed by that many bytes of UTF-8 JSON, on standard input
// (from the browser) and standard output (to it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace corvo::host {

// The largest request the host reads (64 KiB); longer ones are skipped and
// answered with an error.
inline constexpr uint32_t kMaxRequestBytes = 64 * 1024;

enum class FrameStatus {
    kMessage,    // `body` holds the message
    kTooLarge,   // the length was over the cap; the body was read and dropped
    kEnd,        // the input ended cleanly before a new message
    kTruncated,  // the input ended inside a length prefix or a body
};

struct Frame {
    FrameStatus status = FrameStatus::kEnd;
    uint32_t length = 0;  // the length the prefix announced
    std::string body;
};

// Reads one message from `in` (opened in binary mode). A message whose
// length is over `cap` is consumed (so the next prefix is found) but not
// kept.
Frame ReadNativeMessage(std::istream& in, uint32_t cap = kMaxRequestBytes);

// Writes `body` with its length prefix and flushes; false when the stream
// fails.
bool WriteNativeMessage(std::ostream& out, std::string_view body);

}  // namespace corvo::host
