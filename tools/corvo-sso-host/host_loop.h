// The host's loop: read a message, answer it, until standard input ends.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "tools/corvo-sso-host/host_request.h"

namespace corvo::host {

// Exit codes of the host.
inline constexpr int kHostExitOk = 0;         // standard input closed between messages
inline constexpr int kHostExitTruncated = 1;  // it closed inside a message, or output failed
inline constexpr int kHostExitRefused = 2;    // started for another caller

using RequestHandler = std::function<std::string(const HostRequest&)>;

// Answers every message of `in` on `out`: requests over the cap, malformed
// JSON and requests that `handler` refuses get an error answer and the loop
// goes on. Returns the exit code.
int ServeMessages(std::istream& in, std::ostream& out, std::ostream& log,
                  const RequestHandler& handler);

}  // namespace corvo::host
