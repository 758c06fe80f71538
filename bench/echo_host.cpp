// echo_host: the browser benchmark's floor. The native-messaging host's own
// loop (framing, parsing, the worker pool, answers with request IDs) over the
// same kept connection, but each answer is only the call's last argument (its
// name when it has none): no control is created.
#include <iostream>

#include "platform/binary_stdio.h"
#include "tools/corvo-sso-host/host_loop.h"

int main() {
    using namespace corvo::host;
    if (!corvo::platform::SetBinaryStandardStreams()) return kHostExitTruncated;
    std::ios::sync_with_stdio(false);
    return ServeMessages(std::cin, std::cout, std::cerr, [](const HostRequest& request) {
        return ValueAnswer(request.args.empty() ? Json(request.method) : request.args.back());
    });
}
