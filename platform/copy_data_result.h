// The outcome of delivering one WM_COPYDATA message (SendMessageTimeoutW,
// or its POSIX stand-in over the endpoint directory's sockets).
#pragma once

#include <cstdint>

namespace corvo::platform {

enum class SendOutcome {
    kSent,      // the receiver answered; the result is its LRESULT
    kTimedOut,  // no answer within the bound: the receiver is hung or too slow
    kFailed,    // no such window or endpoint, refused, closed without answering, bad reply
};

struct SendResult {
    SendOutcome outcome = SendOutcome::kFailed;
    int64_t result = 0;
};

}  // namespace corvo::platform
