#include "platform/idn.h"

#include <idn2.h>

#include <memory>

#include "platform/strict_utf8.h"

namespace corvo::platform {

namespace {

struct Idn2Deleter {
    void operator()(char* text) const { idn2_free(text); }
};
using Idn2StringPtr = std::unique_ptr<char, Idn2Deleter>;

constexpr bool IsLdh(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// The STD3 ASCII rules, checked on the converted name. libidn2's own
// IDN2_USE_STD3_ASCII_RULES flag is not used: with it, libidn2 2.3 silently
// drops the characters the rules forbid ("a＠b" becomes "ab", "a_ö" becomes
// "xn--a-1ga") instead of failing, which would turn a host the browser cannot
// load, or a different host, into an allowed one.
bool IsStd3Name(std::string_view name) {
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);  // the root label
    if (name.empty()) return false;
    size_t start = 0;
    while (true) {
        const size_t dot = name.find('.', start);
        const std::string_view label = name.substr(start, dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
            return false;
        }
        for (char c : label) {
            if (!IsLdh(c)) return false;
        }
        if (dot == std::string_view::npos) return true;
        start = dot + 1;
    }
}

}  // namespace

bool IdnToAscii(std::u16string_view host, size_t maxLength, std::u16string& ascii) {
    ascii.clear();
    std::string utf8;
    if (!StrictUtf16ToUtf8(host, utf8) || utf8.find('\0') != std::string::npos) return false;

    char* raw = nullptr;
    const int rc = idn2_to_ascii_8z(utf8.c_str(), &raw, IDN2_NONTRANSITIONAL);
    Idn2StringPtr converted(raw);
    if (rc != IDN2_OK || !converted) return false;

    const std::string_view name(converted.get());
    if (name.size() > maxLength || !IsStd3Name(name)) return false;
    ascii.assign(name.begin(), name.end());
    return true;
}

}  // namespace corvo::platform
