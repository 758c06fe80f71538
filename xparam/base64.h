// Base64 (RFC 4648 standard alphabet) as the text form of Binary values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xparam {

// Number of characters Base64Encode writes for `size` bytes: 4 * ceil(size / 3).
constexpr size_t Base64EncodedLength(size_t size) {
    return (size + 2) / 3 * 4;
}

// Encodes `size` bytes into `out`, which has room for Base64EncodedLength(size)
// characters plus a terminating NUL; the last group is padded with "=", no line
// breaks. Returns the number of characters written (NUL excluded). Empty input
// gives the empty text. CharT is char or char16_t.
template <class CharT>
size_t Base64Encode(const uint8_t* bytes, size_t size, CharT* out);

// Room Base64Decode needs for a text of `length` code units:
// 3 * ceil(length / 4). `length` is the text's real length (not -1).
constexpr size_t Base64DecodedCapacity(size_t length) {
    return (length + 3) / 4 * 3;
}

// Decodes a text (pointer + length; -1 = up to the NUL; null = empty) into
// `out`, which has room for Base64DecodedCapacity(real length) bytes, and sets
// `size` to the number of bytes produced. Rules: an empty text fails; up to two
// final "=" are dropped and no other "=" is allowed; TAB, LF, CR and space are
// skipped; any other non-alphabet unit fails; a final group of one character
// fails, of two or three characters gives one or two bytes (missing padding is
// accepted). On failure returns false, leaves `size` untouched, and `out` may
// hold partial bytes.
bool Base64Decode(const char16_t* text, int32_t length, uint8_t* out, size_t& size);

}  // namespace xparam
