// The reference client's view of a quick-login message: the WM_COPYDATA
// packet as it comes off the socket, the request line in its data and the
// client's handling of it (with no endpoint directory, so every block and
// event it names is missing). Properties: a packet that decodes encodes back
// to the same bytes; a request that parses names what the line says, and the
// control's own line for those names parses back to them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "control/quick_login.h"
#include "platform/posix/copy_data_packet.h"
#include "tools/corvo-imclient/login_request.h"
#include "tools/corvo-imclient/login_responder.h"

namespace {

using namespace corvo;

const bool kNoDirectory = [] {
    setenv("CORVO_IM_DIR", "/nonexistent/corvo-login-request-fuzz", 1);
    return true;
}();

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> packet(data, size);

    if (const auto reply = platform::DecodeCopyDataReply(packet)) {
        if (platform::EncodeCopyDataReply(*reply) !=
            std::vector<uint8_t>(packet.begin(), packet.end()))
            __builtin_trap();
    }

    // Requests: the packet itself, or (first byte 0xFF) the rest as the data
    // of a quick-login message, so the line parser is reached directly too.
    platform::CopyDataMessage message;
    if (size > 0 && data[0] == 0xFF) {
        message.dwData = 1;
        message.data.assign(data + 1, data + size);
    } else {
        const auto decoded = platform::DecodeCopyDataRequest(packet);
        if (!decoded) return 0;
        const auto encoded =
            platform::EncodeCopyDataRequest(decoded->wParam, decoded->dwData, decoded->data);
        if (!encoded || *encoded != std::vector<uint8_t>(packet.begin(), packet.end()))
            __builtin_trap();
        message = *decoded;
    }

    imclient::DescribeMessage(message);
    if (const auto line = imclient::DecodeRequestLine(message.data)) {
        if (const auto request = imclient::ParseLoginRequest(*line)) {
            if (request->line != *line || request->blockName.empty() ||
                request->eventName.empty() || line->find(request->blockName) == line->npos ||
                line->find(request->eventName) == line->npos)
                __builtin_trap();
            const std::u16string rebuilt =
                control::BuildLoginRequestLine(request->blockName, request->eventName);
            const auto back = imclient::ParseLoginRequest(rebuilt);
            if (!back || back->blockName != request->blockName ||
                back->eventName != request->eventName || back->blockSize != 8208)
                __builtin_trap();
        }
    }
    const imclient::ClientOptions options;
    imclient::AnswerLoginRequest(options, u"cnmarketfuzz", message);
    return kNoDirectory ? 0 : 1;
}
