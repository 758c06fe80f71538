// The field encoding of exchange documents: a string field travels as the
// base64 text of its code page 936 (GBK) bytes, in lines of 76 characters.
//
// This codec is separate from the base64 text form of Binary values in the
// value tree (xparam/base64.h): that one writes no line breaks and refuses
// foreign characters, this one keeps the 76-character lines of the IM client
// and reads anything, skipping what is not base64.
//
// Running out of memory throws std::bad_alloc; a text too long for the code
// page conversion (more than INT32_MAX units or bytes) throws
// std::length_error, and a failure of the platform's code page 936 converter
// throws std::runtime_error. Nothing else fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvo::srlz {

// Characters per line of the field encoding (19 groups of four) and the input
// bytes that fill one line.
inline constexpr std::size_t kFieldLineChars = 76;
inline constexpr std::size_t kFieldLineBytes = 57;

// Base64 (RFC 4648 alphabet, "=" padding) of `bytes` in lines: after every 19
// complete groups a CR LF follows, the last line of complete groups gets none
// when it is shorter than 76 characters, and the padded group of the one or
// two bytes left over comes last. 57 bytes give 76 characters and CR LF; 58
// bytes give 76 characters, CR LF and one padded group; no bytes give "".
std::u16string FieldBase64Encode(std::string_view bytes);

// Lenient base64: units outside the alphabet (line breaks, spaces, "=",
// anything else) are skipped; every four alphabet characters give three
// bytes, a final run of two or three gives one or two bytes, a single
// leftover character gives nothing.
std::string FieldBase64Decode(std::string_view text);

// UTF-16 text to code page 936 bytes. A character the code page cannot
// represent becomes "?". The whole text is converted, NULs included.
std::string ToFieldBytes(std::u16string_view text);
// Code page 936 bytes to UTF-16; bytes that do not decode become U+FFFD.
std::u16string FromFieldBytes(std::string_view bytes);

// The encoded form of a field: its text up to the first NUL in code page 936,
// as FieldBase64Encode gives it.
std::u16string EncodeField(std::u16string_view text);
// The plain form of an encoded field: the text's code page 936 bytes decoded
// by FieldBase64Decode, cut at the first NUL byte, back to UTF-16. A text
// without any alphabet character gives "".
std::u16string DecodeField(std::u16string_view text);

}  // namespace corvo::srlz
