// Hand-written conversions between UTF-16 (char16_t) and UTF-8, UTF-16 in
// either byte order and US-ASCII. They follow the convention of
// code_page_result.h and are lenient:
//  - UTF-8 input: every maximal ill-formed subsequence (overlong forms,
//    surrogates, values above U+10FFFF, truncated sequences) becomes U+FFFD;
//  - UTF-16 output to UTF-8: a lone surrogate becomes U+FFFD (EF BF BD);
//  - UTF-16 byte input/output keeps lone surrogates as they are; an odd last
//    input byte becomes U+FFFD;
//  - US-ASCII: bytes above 0x7F become U+FFFD; characters above U+007F
//    become "?" (one per UTF-16 unit, as on Windows: a surrogate pair
//    makes "??").
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvo::platform {

size_t Utf8ToUtf16(const uint8_t* in, size_t count, char16_t* out, size_t capacity);
size_t Utf16ToUtf8(const char16_t* in, size_t count, uint8_t* out, size_t capacity);

// `bigEndian` selects 1201 over 1200.
size_t Utf16BytesToUtf16(const uint8_t* in, size_t count, bool bigEndian, char16_t* out,
                         size_t capacity);
size_t Utf16ToUtf16Bytes(const char16_t* in, size_t count, bool bigEndian, uint8_t* out,
                         size_t capacity);

size_t AsciiToUtf16(const uint8_t* in, size_t count, char16_t* out, size_t capacity);
size_t Utf16ToAscii(const char16_t* in, size_t count, uint8_t* out, size_t capacity);

}  // namespace corvo::platform
