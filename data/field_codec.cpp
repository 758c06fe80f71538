// The field encoding: 76-character base64 lines over code page 936 bytes.
#include "data/field_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>

#include "platform/code_page.h"
#include "platform/code_page_string.h"

namespace corvo::srlz {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kSkip = 0xFF;

// The value of each byte as a base64 digit, or kSkip.
constexpr std::array<uint8_t, 256> MakeDigitTable() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table) v = kSkip;
    for (uint8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = i;
    return table;
}
constexpr std::array<uint8_t, 256> kDigit = MakeDigitTable();

// A code page 936 conversion's outcome as the field codec reports it.
void CheckConversion(platform::CodePageStringStatus status) {
    if (status == platform::CodePageStringStatus::kTooLong)
        throw std::length_error("field text too long for code page 936 conversion");
    if (status != platform::CodePageStringStatus::kOk)
        throw std::runtime_error("code page 936 conversion failed");
}

}  // namespace

std::u16string FieldBase64Encode(std::string_view bytes) {
    const std::size_t groups = bytes.size() / 3;
    const std::size_t lines = groups / 19;
    std::u16string out;
    out.reserve((groups + 1) * 4 + lines * 2);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (std::size_t g = 0; g < groups; ++g, p += 3) {
        const uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        out += char16_t(kAlphabet[v >> 18]);
        out += char16_t(kAlphabet[(v >> 12) & 63]);
        out += char16_t(kAlphabet[(v >> 6) & 63]);
        out += char16_t(kAlphabet[v & 63]);
        if ((g + 1) % 19 == 0) out += u"\r\n";
    }
    const std::size_t rest = bytes.size() % 3;
    if (rest != 0) {
        const uint32_t v = uint32_t(p[0]) << 16 | (rest == 2 ? uint32_t(p[1]) << 8 : 0);
        out += char16_t(kAlphabet[v >> 18]);
        out += char16_t(kAlphabet[(v >> 12) & 63]);
        out += rest == 2 ? char16_t(kAlphabet[(v >> 6) & 63]) : u'=';
        out += u'=';
    }
    return out;
}

std::string FieldBase64Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    uint32_t acc = 0;
    int held = 0;
    for (const char c : text) {
        const uint8_t d = kDigit[static_cast<uint8_t>(c)];
        if (d == kSkip) continue;
        acc = acc << 6 | d;
        if (++held == 4) {
            out += char(acc >> 16);
            out += char((acc >> 8) & 0xFF);
            out += char(acc & 0xFF);
            acc = 0;
            held = 0;
        }
    }
    // Two characters carry one byte, three carry two; one carries nothing.
    if (held == 2) {
        out += char((acc >> 4) & 0xFF);
    } else if (held == 3) {
        out += char((acc >> 10) & 0xFF);
        out += char((acc >> 2) & 0xFF);
    }
    return out;
}

std::string ToFieldBytes(std::u16string_view text) {
    std::string bytes;
    CheckConversion(platform::ConvertToCodePage(platform::kCodePageGbk, text, bytes));
    return bytes;
}

std::u16string FromFieldBytes(std::string_view bytes) {
    std::u16string text;
    CheckConversion(platform::ConvertFromCodePage(platform::kCodePageGbk, bytes, text));
    return text;
}

std::u16string EncodeField(std::u16string_view text) {
    return FieldBase64Encode(ToFieldBytes(text.substr(0, text.find(u'\0'))));
}

std::u16string DecodeField(std::u16string_view text) {
    // ASCII is itself in code page 936; only other text needs the converter,
    // whose double-byte characters may hold alphabet bytes.
    std::string bytes;
    bool ascii = true;
    for (const char16_t c : text) ascii = ascii && c < 0x80;
    if (ascii) {
        bytes.assign(text.begin(), text.end());
    } else {
        bytes = ToFieldBytes(text);
    }
    std::string decoded = FieldBase64Decode(bytes);
    decoded.resize(std::min(decoded.size(), decoded.find('\0')));
    return FromFieldBytes(decoded);
}

}  // namespace corvo::srlz
