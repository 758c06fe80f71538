#include "platform/posix/shared_memory_name.h"

#include <cerrno>
#include <climits>

#include "platform/strict_utf8.h"

namespace corvo::platform {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// True for the bytes that stand for themselves in an object name.
constexpr bool IsPlain(unsigned char c) {
    return c >= 0x21 && c <= 0x7E && c != '/' && c != '%';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower case is never produced, so it is not accepted either
}

}  // namespace

std::optional<std::string> SharedMemoryObjectName(std::u16string_view blockName) {
    std::string utf8;
    if (blockName.empty() || !StrictUtf16ToUtf8(blockName, utf8) || utf8 == "." || utf8 == "..") {
        errno = EINVAL;
        return std::nullopt;
    }
    std::string out = "/";
    out.reserve(utf8.size() + 1);
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsPlain(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
        if (out.size() - 1 > NAME_MAX) {
            errno = ENAMETOOLONG;
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::u16string> BlockNameFromObjectName(std::string_view objectName) {
    if (objectName.size() < 2 || objectName.size() - 1 > NAME_MAX || objectName[0] != '/')
        return std::nullopt;
    std::string utf8;
    for (size_t i = 1; i < objectName.size(); ++i) {
        const auto c = static_cast<unsigned char>(objectName[i]);
        if (c != '%') {
            if (!IsPlain(c)) return std::nullopt;
            utf8 += char(c);
            continue;
        }
        if (i + 2 >= objectName.size()) return std::nullopt;
        const int hi = HexDigit(objectName[i + 1]), lo = HexDigit(objectName[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        const auto decoded = static_cast<unsigned char>(hi * 16 + lo);
        if (IsPlain(decoded)) return std::nullopt;  // one spelling per name
        utf8 += char(decoded);
        i += 2;
    }
    if (utf8 == "." || utf8 == "..") return std::nullopt;
    std::u16string name;
    if (!StrictUtf8ToUtf16(utf8, name)) return std::nullopt;
    return name;
}

}  // namespace corvo::platform
