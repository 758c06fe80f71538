// MakeGuid: a GUID from its text at compile time, the same on every system
// (included by com.h after the GUID type is declared).
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvo::com_detail {
constexpr int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : throw "GUID literal: not a hex digit";
}
constexpr uint32_t HexField(const char* s, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = v * 16 + static_cast<uint32_t>(HexDigit(s[i]));
    return v;
}
}  // namespace corvo::com_detail

// A GUID from its text "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces), at
// compile time: constexpr GUID IID_X = MakeGuid("...").
template <size_t N>
constexpr GUID MakeGuid(const char (&s)[N]) {
    static_assert(N == 37, "GUID literal must be 36 characters without braces");
    using corvo::com_detail::HexField;
    if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') throw "GUID literal: dashes";
    GUID g{HexField(s, 8),
           static_cast<uint16_t>(HexField(s + 9, 4)),
           static_cast<uint16_t>(HexField(s + 14, 4)),
           {}};
    g.Data4[0] = static_cast<uint8_t>(HexField(s + 19, 2));
    g.Data4[1] = static_cast<uint8_t>(HexField(s + 21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(HexField(s + 24 + 2 * i, 2));
    return g;
}
