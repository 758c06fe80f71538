// Text helpers of the subcommands: JSON strings written exactly to the UTF-16
// code unit, one-line JSON objects, and the UTF-8 / UTF-16 conversions at the
// tool's edges.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace corvo::cli {

// Appends `text` as a JSON string literal (quotes included) that is pure
// ASCII: every code unit below U+0020 or above U+007E, and the quotation mark
// and the backslash, is written as \uXXXX with lowercase hexadecimal digits,
// one escape per code unit. Lone surrogates therefore survive unchanged.
void AppendJsonString(std::string& out, std::u16string_view text);

// A value of a JSON object the tool prints: a boolean, a number or a string.
using JsonValue = std::variant<bool, int32_t, std::u16string_view>;

// `fields` as one JSON object on one line, "{"name": value, ...}" and a line
// break, in the order given; the names are written as they are.
std::string JsonObjectLine(std::initializer_list<std::pair<const char*, JsonValue>> fields);

// UTF-16 to UTF-8 for printing; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8Lenient(std::u16string_view text);

// UTF-8 to UTF-16; false for ill-formed input.
bool Utf8ToUtf16Strict(std::string_view text, std::u16string& out);

// JSON readers refuse escapes of lone surrogates ("\ud800" not followed by a
// low surrogate escape, or a low surrogate escape on its own). To carry them
// exactly, ProtectLoneSurrogates rewrites the JSON text before it is read:
// inside strings, every such escape becomes "\uffff" followed by the four
// hexadecimal digits of the unit, and every U+FFFF (raw or escaped) becomes
// "\uffffffff". After decoding, RestoreProtectedUnits turns each U+FFFF and
// the four hexadecimal digits after it back into the one code unit they name.
std::string ProtectLoneSurrogates(std::string_view json);
void RestoreProtectedUnits(std::u16string& text);

// The value of one hexadecimal digit (either case), or -1.
int HexDigitValue(char32_t c);

// Lowercase hexadecimal of `size` bytes.
std::string HexOf(const unsigned char* data, size_t size);

}  // namespace corvo::cli
