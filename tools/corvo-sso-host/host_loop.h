// The host's loop: read messages, answer them, until standard input ends.
// Requests are served by a fixed pool of worker threads, so a slow one (a
// quick login waiting on a hung client) delays no other; answers go out as
// they are ready, each carrying its request's "id".
#pragma once

#include <cstddef>
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

struct ServeLimits {
    // Worker threads; each runs in its own COM apartment.
    size_t workers = 4;
    // Requests read and not yet answered (running and waiting). At the bound
    // the reader stops reading until one is answered, so further requests
    // wait in the pipe, in order. The extension sends at most 8 at a time.
    size_t maxPending = 64;
};

// Answers every message of `in` on `out`: requests over the cap, malformed
// JSON and requests that `handler` refuses get an error answer and the loop
// goes on. `handler` runs on the worker threads, several at once. When `in`
// ends, the requests already read are answered before it returns. Returns the
// exit code.
int ServeMessages(std::istream& in, std::ostream& out, std::ostream& log,
                  const RequestHandler& handler, const ServeLimits& limits = {});

}  // namespace corvo::host
