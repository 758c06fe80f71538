#include "tools/corvo-imclient/login_request.h"

namespace corvo::imclient {
namespace {

// Takes "KEY" VALUE from the front of `rest`, where the value runs up to the
// next "&" (or the end).
std::optional<std::u16string> TakeParameter(std::u16string_view& rest, std::u16string_view key) {
    if (!rest.starts_with(key)) return std::nullopt;
    rest.remove_prefix(key.size());
    const size_t end = rest.find(u'&');
    std::u16string value(rest.substr(0, end));
    rest.remove_prefix(end == std::u16string_view::npos ? rest.size() : end);
    return value;
}

}  // namespace

std::optional<std::u16string> DecodeRequestLine(std::span<const uint8_t> data) {
    if (data.size() % 2 != 0) return std::nullopt;
    std::u16string line;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
        if (unit == 0) return line;
        line.push_back(unit);
    }
    return std::nullopt;
}

std::optional<LoginRequest> ParseLoginRequest(std::u16string line) {
    std::u16string_view rest(line);
    if (!rest.starts_with(kImWindowClass)) return std::nullopt;
    rest.remove_prefix(kImWindowClass.size());
    if (!rest.starts_with(kLoginRequestVerb)) return std::nullopt;
    rest.remove_prefix(kLoginRequestVerb.size());

    auto block = TakeParameter(rest, control::kBlockNameParameter);
    auto event = block ? TakeParameter(rest, control::kEventNameParameter) : std::nullopt;
    auto size = event ? TakeParameter(rest, control::kBlockSizeParameter) : std::nullopt;
    if (!size || !rest.empty() || block->empty() || event->empty() || size->empty() ||
        size->size() > 9)
        return std::nullopt;
    uint32_t blockSize = 0;
    for (char16_t c : *size) {
        if (c < u'0' || c > u'9') return std::nullopt;
        blockSize = blockSize * 10 + uint32_t(c - u'0');
    }
    LoginRequest request;
    request.blockName = std::move(*block);
    request.eventName = std::move(*event);
    request.blockSize = blockSize;
    request.line = std::move(line);
    return request;
}

}  // namespace corvo::imclient
