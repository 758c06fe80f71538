// The client's answer to one quick-login request: read the request document
// from the named block, write the answer document into the same block, then
// signal the completion event (each step subject to the fault switches).
#pragma once

#include <string>
#include <string_view>

#include "platform/posix/copy_data_packet.h"
#include "tools/corvo-imclient/client_options.h"

namespace corvo::imclient {

struct ResponderReport {
    // With --print-requests: the record printed for the request (several
    // lines, each ended by LF), else empty.
    std::string record;
    // A problem worth reporting on standard error, else empty.
    std::string error;
};

// Handles `message`, which arrived at a window of `account`.
ResponderReport AnswerLoginRequest(const ClientOptions& options, std::u16string_view account,
                                   const platform::CopyDataMessage& message);

// Text with CR, LF, TAB and backslash written as \r, \n, \t and \\ and the
// rest as UTF-8, so a document fits one line of the record.
std::string EscapeForRecord(std::u16string_view text);

}  // namespace corvo::imclient
