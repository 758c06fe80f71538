// The request line a quick login sends to an account's window:
//   CLASS "Corvo:reqssologin?" "&fname=" BLOCK "&ename=" EVENT "&fsize=" SIZE
// carried by WM_COPYDATA with dwData 1 as UTF-16LE with a terminating zero.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "control/login_request_line.h"

namespace corvo::imclient {

// The window class, the verb and the parameter names are the control's own.
using control::kImWindowClass;
using control::kLoginRequestVerb;

struct LoginRequest {
    std::u16string line;  // the whole line, without its terminating zero
    std::u16string blockName;
    std::u16string eventName;
    // The announced "fsize": checked to be decimal, otherwise not used. The
    // block's own size and header bound every read and write (docs/ipc.md).
    uint32_t blockSize = 0;
};

// The line in the message data: UTF-16LE code units up to the first zero
// unit. Nothing when the data has an odd length or no terminating zero.
std::optional<std::u16string> DecodeRequestLine(std::span<const uint8_t> data);

// Nothing unless the line starts with the class text and the verb and carries
// a non-empty "fname" and "ename" and a decimal "fsize", in that order.
std::optional<LoginRequest> ParseLoginRequest(std::u16string line);

}  // namespace corvo::imclient
