// Parsing of texts (UTF-16 code units) into numbers, as the typed getters of
// XParam read a String value. Texts come as pointer + length: a length of -1
// means the text runs up to its NUL, a null pointer is the empty text.
// Failures return false and leave `out` untouched. Nothing throws.
#pragma once

#include <cstdint>

namespace xparam {

// Integer rule, one for every width (T is one of int8_t, uint8_t, int16_t,
// uint16_t, int32_t, uint32_t, int64_t, uint64_t):
//  - empty text, or first unit NUL: fails;
//  - a NUL ends the text (accepted up to there); TAB and space are ignored
//    anywhere, also between digits;
//  - "$", "x", "X" switch to base 16 while the value is 0 and the base still 10
//    (so "0x1F", "$1F" and "x1F" are 31), otherwise fail;
//  - "+" is accepted while the value is 0 and no "-" was seen; "-" while the
//    value is 0 (the result is negated): "0x-10" is -16;
//  - digits 0-9, and a-f / A-F in base 16, accumulate; anything else fails;
//  - arithmetic wraps modulo 2^width ("300" as uint8_t is 44, "-1" as
//    uint32_t is 4294967295); there is no overflow check;
//  - a text without any digit (" ", "-", "0x") fails.
template <class T>
bool ParseInteger(const char16_t* text, int32_t length, T& out);

// Floating rule: optional sign (same rules as above), digits, at most one ".",
// more digits; TAB and space ignored; NUL ends the text. No exponent, no
// "inf"/"nan". At least one digit is required. ParseFloat accumulates in
// single precision, ParseDouble in double precision (also used for long double).
bool ParseFloat(const char16_t* text, int32_t length, float& out);
bool ParseDouble(const char16_t* text, int32_t length, double& out);

}  // namespace xparam
