// Text forms of non-text values, as the wide-text and multi-byte-text getters
// of XParam produce them. Every form is ASCII and locale-independent; the
// wide form (char16_t) and the byte form (char) hold the same characters.
// Each formatter returns a small fixed buffer, NUL-terminated, whose `length`
// excludes the terminator.
#pragma once

#include <cstdint>

namespace xparam {

// Room for the longest form: a double's full integer part (309 digits), sign,
// point, nine fractional digits and the NUL.
inline constexpr int32_t kNumberTextCapacity = 328;

template <class CharT>
struct BasicNumberText {
    CharT text[kNumberTextCapacity];
    int32_t length = 0;

    const CharT* data() const { return text; }
};
using NumberText = BasicNumberText<char>;
using WideNumberText = BasicNumberText<char16_t>;

// Decimal form of an integer. With `isSigned` the value is read as int64_t:
// "-" before the magnitude when negative, the most negative value written
// exactly ("-128", "-9223372036854775808"). Without it the bits are read as
// uint64_t. No leading zeros, no "+". Pass narrower values sign- or
// zero-extended (int8_t -128 as -128 with isSigned).
template <class CharT>
BasicNumberText<CharT> FormatInteger(int64_t value, bool isSigned);

// Floating form: the integer part in decimal (all of its digits, also beyond
// the 32-bit range), then, when the fraction has any of its first nine decimal
// digits non-zero, "." and those nine digits truncated (never rounded) with
// trailing zeros removed: 2.5 -> "2.5", 0.05 -> "0.05", 3.0000000001 -> "3",
// -0.25 -> "-0.25". The fraction digits are |fraction| * 1e9 computed in double
// precision. The float overload splits value and fraction in single precision
// (0.1f -> "0.100000001"). A value whose text would read "-0" is written "0".
// Infinities and NaN are written "inf", "-inf" and "nan" (which no parse
// accepts back).
template <class CharT>
BasicNumberText<CharT> FormatFloat(double value);
template <class CharT>
BasicNumberText<CharT> FormatFloat(float value);

// "1" for true, "0" for false.
template <class CharT>
BasicNumberText<CharT> FormatBool(bool value);

// "0x" followed by the pointer's value in lower-case hexadecimal, significant
// digits only ("0x0" for null, "0x7ffd1234abcd").
template <class CharT>
BasicNumberText<CharT> FormatPointer(const void* value);

}  // namespace xparam
