#include "platform/strict_utf8.h"

#include <cstdint>

#include "platform/code_page_result.h"
#include "platform/utf_codec.h"

namespace corvo::platform {

namespace {

constexpr bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

bool HasLoneSurrogate(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i])) {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1])) return true;
            ++i;
        } else if (IsLowSurrogate(text[i])) {
            return true;
        }
    }
    return false;
}

// The lenient codec (utf_codec.h) replaces what it cannot convert; the strict
// conversions reject those inputs first, or detect the replacement by
// converting back.
bool EncodeAll(std::u16string_view utf16, std::string& utf8) {
    const size_t needed = Utf16ToUtf8(utf16.data(), utf16.size(), nullptr, 0);
    if (!ConversionSucceeded(needed)) return false;
    utf8.resize(needed);
    const size_t written = Utf16ToUtf8(utf16.data(), utf16.size(),
                                       reinterpret_cast<uint8_t*>(utf8.data()), utf8.size());
    return written == needed;
}

}  // namespace

bool StrictUtf16ToUtf8(std::u16string_view utf16, std::string& utf8) {
    utf8.clear();
    return !HasLoneSurrogate(utf16) && EncodeAll(utf16, utf8);
}

bool StrictUtf8ToUtf16(std::string_view utf8, std::u16string& utf16) {
    utf16.clear();
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t needed = Utf8ToUtf16(bytes, utf8.size(), nullptr, 0);
    if (!ConversionSucceeded(needed)) return false;
    utf16.resize(needed);
    if (Utf8ToUtf16(bytes, utf8.size(), utf16.data(), utf16.size()) != needed) return false;
    // Well-formed input is exactly the input that survives the round trip:
    // every ill-formed sequence came back as U+FFFD (EF BF BD), which differs.
    std::string back;
    return EncodeAll(utf16, back) && back == utf8;
}

}  // namespace corvo::platform
