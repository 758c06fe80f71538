// Strict conversion between UTF-16 and UTF-8 for text that a security decision
// is based on (page addresses, host names). Unlike the lenient code-page layer
// (code_page.h), nothing is ever replaced or dropped: a lone surrogate, an
// overlong or truncated sequence, an encoded surrogate or a code point above
// U+10FFFF fails the whole conversion, so the caller can refuse the input.
#pragma once

#include <string>
#include <string_view>

namespace corvo::platform {

// UTF-16 to UTF-8. Embedded NULs are converted like any other character.
// Returns false (and leaves `utf8` unspecified) for a lone surrogate.
bool StrictUtf16ToUtf8(std::u16string_view utf16, std::string& utf8);

// UTF-8 to UTF-16. Returns false (and leaves `utf16` unspecified) for any
// ill-formed sequence.
bool StrictUtf8ToUtf16(std::string_view utf8, std::u16string& utf16);

}  // namespace corvo::platform
