#include "tools/corvo-sso-host/host_loop.h"

#include "tools/corvo-sso-host/native_message_stream.h"

namespace corvo::host {

int ServeMessages(std::istream& in, std::ostream& out, std::ostream& log,
                  const RequestHandler& handler) {
    for (;;) {
        Frame frame = ReadNativeMessage(in);
        std::string answer;
        switch (frame.status) {
            case FrameStatus::kEnd:
                return kHostExitOk;
            case FrameStatus::kTruncated:
                log << "corvo-sso-host: standard input closed inside a message\n";
                return kHostExitTruncated;
            case FrameStatus::kTooLarge:
                answer = ErrorAnswer(
                    {E_INVALIDARG, "the request has " + std::to_string(frame.length) +
                                       " bytes; the limit is " + std::to_string(kMaxRequestBytes)});
                break;
            case FrameStatus::kMessage: {
                HostRequest request;
                HostError error;
                answer = ParseHostRequest(frame.body, &request, &error) ? handler(request)
                                                                        : ErrorAnswer(error);
                break;
            }
        }
        if (!WriteNativeMessage(out, answer)) {
            log << "corvo-sso-host: cannot write to standard output\n";
            return kHostExitTruncated;
        }
    }
}

}  // namespace corvo::host
