#include "tools/corvo-sso/json_text.h"

#include <cstdint>

#include "platform/code_page_result.h"
#include "platform/strict_utf8.h"
#include "platform/utf_codec.h"

namespace corvo::cli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

constexpr char16_t kProtectMark = 0xffff;

// The code unit of a "\uXXXX" escape starting at `at`, or -1.
int32_t EscapedUnit(std::string_view json, size_t at) {
    if (at + 6 > json.size() || json[at] != '\\' || json[at + 1] != 'u') return -1;
    int32_t unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexDigitValue(static_cast<unsigned char>(json[i]));
        if (digit < 0) return -1;
        unit = unit << 4 | digit;
    }
    return unit;
}

bool IsHigh(int32_t unit) {
    return unit >= 0xd800 && unit <= 0xdbff;
}
bool IsLow(int32_t unit) {
    return unit >= 0xdc00 && unit <= 0xdfff;
}

// "\\u" and four lowercase hexadecimal digits.
void AppendUnitEscape(std::string& out, uint32_t unit) {
    const char escape[6] = {'\\',
                            'u',
                            kHexDigits[(unit >> 12) & 0xf],
                            kHexDigits[(unit >> 8) & 0xf],
                            kHexDigits[(unit >> 4) & 0xf],
                            kHexDigits[unit & 0xf]};
    out.append(escape, sizeof escape);
}

void AppendProtected(std::string& out, int32_t unit) {
    AppendUnitEscape(out, kProtectMark);
    AppendUnitEscape(out, static_cast<uint32_t>(unit));
    out.erase(out.size() - 6, 2);  // keep the four digits only
}

}  // namespace

std::string ProtectLoneSurrogates(std::string_view json) {
    std::string out;
    out.reserve(json.size());
    bool inString = false;
    for (size_t i = 0; i < json.size();) {
        const char c = json[i];
        if (!inString) {
            inString = c == '"';
            out += c;
            ++i;
            continue;
        }
        if (c == '"') {
            inString = false;
            out += c;
            ++i;
        } else if (json.compare(i, 3, "\xef\xbf\xbf") == 0) {  // a raw U+FFFF
            AppendProtected(out, kProtectMark);
            i += 3;
        } else if (c != '\\') {
            out += c;
            ++i;
        } else if (const int32_t unit = EscapedUnit(json, i); unit < 0) {
            // Another escape (or a bad one the reader will report): copy it.
            out.append(json.substr(i, 2));
            i += 2;
        } else if (IsHigh(unit) && IsLow(EscapedUnit(json, i + 6))) {
            out.append(json.substr(i, 12));
            i += 12;
        } else if (IsHigh(unit) || IsLow(unit) || unit == kProtectMark) {
            AppendProtected(out, unit);
            i += 6;
        } else {
            out.append(json.substr(i, 6));
            i += 6;
        }
    }
    return out;
}

void RestoreProtectedUnits(std::u16string& text) {
    size_t to = 0;
    for (size_t from = 0; from < text.size();) {
        if (text[from] == kProtectMark && from + 4 < text.size()) {
            int32_t unit = 0;
            for (size_t i = from + 1; i <= from + 4 && unit >= 0; ++i) {
                const int digit = HexDigitValue(text[i]);
                unit = digit < 0 ? -1 : unit << 4 | digit;
            }
            if (unit >= 0) {
                text[to++] = static_cast<char16_t>(unit);
                from += 5;
                continue;
            }
        }
        text[to++] = text[from++];
    }
    text.resize(to);
}

int HexDigitValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

void AppendJsonString(std::string& out, std::u16string_view text) {
    out += '"';
    for (char16_t unit : text) {
        if (unit >= 0x20 && unit <= 0x7e && unit != u'"' && unit != u'\\') {
            out += static_cast<char>(unit);
            continue;
        }
        AppendUnitEscape(out, unit);
    }
    out += '"';
}

std::string Utf16ToUtf8Lenient(std::u16string_view text) {
    if (text.empty()) return {};
    // At most three bytes per code unit (a pair gives four bytes for two units).
    std::string out(text.size() * 3, '\0');
    const size_t written = platform::Utf16ToUtf8(
        text.data(), text.size(), reinterpret_cast<uint8_t*>(out.data()), out.size());
    out.resize(platform::ConversionSucceeded(written) ? written : 0);
    return out;
}

bool Utf8ToUtf16Strict(std::string_view text, std::u16string& out) {
    return platform::StrictUtf8ToUtf16(text, out);
}

std::string JsonObjectLine(std::initializer_list<std::pair<const char*, JsonValue>> fields) {
    std::string text = "{";
    for (const auto& [name, value] : fields) {
        text += text.size() > 1 ? ", \"" : "\"";
        text += name;
        text += "\": ";
        if (const bool* flag = std::get_if<bool>(&value))
            text += *flag ? "true" : "false";
        else if (const int32_t* number = std::get_if<int32_t>(&value))
            text += std::to_string(*number);
        else
            AppendJsonString(text, std::get<std::u16string_view>(value));
    }
    return text + "}\n";
}

std::string HexOf(const unsigned char* data, size_t size) {
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += kHexDigits[data[i] >> 4];
        out += kHexDigits[data[i] & 0xf];
    }
    return out;
}

}  // namespace corvo::cli
