#include "platform/posix/window_registration.h"

#include <charconv>

namespace corvo::platform {
namespace {

constexpr std::string_view kMagic = "corvo-im-window 1";
constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex16(std::string& out, std::u16string_view text) {
    for (char16_t unit : text) {
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::u16string> ParseHex16(std::string_view hex) {
    if (hex.size() % 4 != 0) return std::nullopt;
    std::u16string out;
    out.reserve(hex.size() / 4);
    for (size_t i = 0; i < hex.size(); i += 4) {
        unsigned unit = 0;
        for (size_t j = 0; j < 4; ++j) {
            const int digit = HexDigit(hex[i + j]);
            if (digit < 0) return std::nullopt;
            unit = unit << 4 | unsigned(digit);
        }
        out += char16_t(unit);
    }
    return out;
}

// Takes the next line "key value" off `text` and returns its value.
std::optional<std::string_view> TakeLine(std::string_view& text, std::string_view key) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (line.size() < key.size() + 1 || line.substr(0, key.size()) != key ||
        line[key.size()] != ' ')
        return std::nullopt;
    return line.substr(key.size() + 1);
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (char c : name) {
        if (c == '/' || static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    }
    return true;
}

std::string EncodeWindowRegistration(const WindowRegistration& registration) {
    std::string out(kMagic);
    out += "\nkind ";
    out += registration.kind == WindowKind::kTopLevel ? "top-level" : "message-only";
    out += "\npid " + std::to_string(registration.pid);
    out += "\nsocket " + registration.socketName;
    out += "\nclass ";
    AppendHex16(out, registration.className);
    out += "\ntitle ";
    AppendHex16(out, registration.title);
    out += '\n';
    return out;
}

std::optional<WindowRegistration> DecodeWindowRegistration(std::string_view text) {
    if (text.size() > kMaxRegistrationText) return std::nullopt;
    const size_t magicEnd = text.find('\n');
    if (magicEnd == std::string_view::npos || text.substr(0, magicEnd) != kMagic)
        return std::nullopt;
    text.remove_prefix(magicEnd + 1);

    WindowRegistration out;
    const auto kind = TakeLine(text, "kind");
    if (kind == "top-level")
        out.kind = WindowKind::kTopLevel;
    else if (kind == "message-only")
        out.kind = WindowKind::kMessageOnly;
    else
        return std::nullopt;

    const auto pid = TakeLine(text, "pid");
    if (!pid || pid->empty() || (*pid)[0] == '0') return std::nullopt;  // one spelling, > 0
    const auto [end, ec] = std::from_chars(pid->data(), pid->data() + pid->size(), out.pid);
    if (ec != std::errc() || end != pid->data() + pid->size() || out.pid <= 0) return std::nullopt;

    const auto socket = TakeLine(text, "socket");
    if (!socket || !IsPlainFileName(*socket)) return std::nullopt;
    out.socketName = *socket;

    const auto className = TakeLine(text, "class");
    const auto classText = className ? ParseHex16(*className) : std::nullopt;
    if (!classText) return std::nullopt;
    out.className = *classText;

    const auto title = TakeLine(text, "title");
    const auto titleText = title ? ParseHex16(*title) : std::nullopt;
    if (!titleText || !text.empty()) return std::nullopt;
    out.title = *titleText;
    return out;
}

}  // namespace corvo::platform
