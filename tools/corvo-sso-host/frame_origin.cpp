#include "tools/corvo-sso-host/frame_origin.h"

namespace corvo::host {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::optional<std::string> OriginOfUrl(std::string_view url) {
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string scheme = LowerText(url.substr(0, colon));
    if (scheme != "http" && scheme != "https") return std::nullopt;
    std::string_view rest = url.substr(colon + 1);
    if (rest.substr(0, 2) != "//") return std::nullopt;
    rest.remove_prefix(2);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#\\"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority, port;
    // The port follows the last ':' unless that ':' is inside an IPv6 literal.
    const size_t portColon = authority.rfind(':');
    const size_t bracket = authority.rfind(']');
    if (portColon != std::string_view::npos &&
        (bracket == std::string_view::npos || portColon > bracket)) {
        host = authority.substr(0, portColon);
        port = authority.substr(portColon + 1);
    }
    if (host.empty()) return std::nullopt;
    if (!port.empty()) {
        if (!AllDigits(port)) return std::nullopt;
        while (port.size() > 1 && port.front() == '0') port.remove_prefix(1);
        if ((scheme == "http" && port == "80") || (scheme == "https" && port == "443")) port = {};
    }
    std::string origin = scheme + "://" + LowerText(host);
    if (!port.empty()) origin += ":" + std::string(port);
    return origin;
}

bool OriginMatchesUrl(std::string_view origin, std::string_view url) {
    if (origin.empty() || origin == "null") return false;
    const auto expected = OriginOfUrl(url);
    return expected && *expected == origin;
}

}  // namespace corvo::host
