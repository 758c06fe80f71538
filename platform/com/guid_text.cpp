#include "platform/com/com.h"

namespace corvo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

template <class Char>
void Format(const GUID& g, Char* out) {
    size_t n = 0;
    auto put = [&](uint32_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            out[n++] = Char(kHex[(value >> shift) & 0xF]);
    };
    out[n++] = Char('{');
    put(g.Data1, 8);
    out[n++] = Char('-');
    put(g.Data2, 4);
    out[n++] = Char('-');
    put(g.Data3, 4);
    out[n++] = Char('-');
    put(g.Data4[0], 2);
    put(g.Data4[1], 2);
    out[n++] = Char('-');
    for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
    out[n++] = Char('}');
}

template <class Char>
int HexValue(Char c) {
    if (c >= Char('0') && c <= Char('9')) return int(c - Char('0'));
    if (c >= Char('a') && c <= Char('f')) return int(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F')) return int(c - Char('A')) + 10;
    return -1;
}

template <class Char>
bool Parse(std::basic_string_view<Char> t, GUID* guid) {
    if (t.size() != kGuidTextLength || t.front() != Char('{') || t.back() != Char('}'))
        return false;
    // Position of every hex digit pair's first digit after the brace, by field.
    uint8_t bytes[16];
    size_t pos = 1;
    int b = 0;
    for (int group : {4, 2, 2, 2, 6}) {
        for (int i = 0; i < group; ++i, pos += 2) {
            int hi = HexValue(t[pos]), lo = HexValue(t[pos + 1]);
            if (hi < 0 || lo < 0) return false;
            bytes[b++] = uint8_t(hi * 16 + lo);
        }
        if (pos < kGuidTextLength - 1) {
            if (t[pos] != Char('-')) return false;
            ++pos;
        }
    }
    if (pos != kGuidTextLength - 1) return false;
    GUID g{};
    g.Data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    g.Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    g.Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
    *guid = g;
    return true;
}

}  // namespace

std::u16string GuidToText(const GUID& guid) {
    std::u16string s(kGuidTextLength, u'\0');
    Format(guid, s.data());
    return s;
}

std::string GuidToAscii(const GUID& guid) {
    std::string s(kGuidTextLength, '\0');
    Format(guid, s.data());
    return s;
}

bool GuidFromText(std::u16string_view text, GUID* guid) {
    return Parse(text, guid);
}
bool GuidFromAscii(std::string_view text, GUID* guid) {
    return Parse(text, guid);
}

}  // namespace corvo
