// Whole-string conversions between UTF-16 and a code page, over the two
// calls of code_page.h: the size pass, then the conversion into a string of
// exactly that size. The one place that runs this two-pass pattern.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvo::platform {

enum class CodePageStringStatus {
    kOk,
    kTooLong,  // more than INT32_MAX units or bytes: the calls cannot take it
    kFailed,   // the converter failed (unsupported code page, nothing produced)
};

// `text` as bytes in `codePage` (unencodable characters become its default
// character). Empty text gives empty bytes. `out` is set only on kOk.
CodePageStringStatus ConvertToCodePage(uint32_t codePage, std::u16string_view text,
                                       std::string& out);

// `bytes` in `codePage` as UTF-16 (malformed bytes become U+FFFD). No bytes
// give the empty text. `out` is set only on kOk.
CodePageStringStatus ConvertFromCodePage(uint32_t codePage, std::string_view bytes,
                                         std::u16string& out);

}  // namespace corvo::platform
