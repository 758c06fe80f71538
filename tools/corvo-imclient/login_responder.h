// The client's answer to one quick-login request: read the request document
// from the named block, write the answer document into the same block, then
// signal the completion event (each step subject to the fault switches).
#pragma once

#include <string>
#include <string_view>

#include "platform/copy_data_message.h"
#include "tools/corvo-imclient/client_options.h"

namespace corvo::imclient {

// The record printed for a message as it arrives (--print-requests), two
// lines each ended by LF:
//   request LINE
//   request-message wParam=N dwData=N cbData=N bytes=HEX
std::string DescribeMessage(const platform::CopyDataMessage& message);

struct ResponderReport {
    // With --print-requests, once the request document has been read:
    //   request-document BLOCKNAME DOCUMENT      (escaped, see EscapeForRecord)
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
