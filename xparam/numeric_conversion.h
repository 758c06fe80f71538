// Conversion of a stored number into the numeric type a getter asks for.
#pragma once

#include <cstdint>
#include <type_traits>

namespace xparam {

// Truncates toward zero to a signed 64-bit integer. NaN and values outside the
// int64 range give INT64_MIN (the x86 "integer indefinite" value), never
// undefined behaviour.
constexpr int64_t TruncateToInt64(double value) {
    // 2^63 is exact in double; the range test is false for NaN.
    if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
        return static_cast<int64_t>(value);
    }
    return INT64_MIN;
}

// ConvertNumber<T>(source): the value of `source` as T.
//  - integer or bool source to integer T: sign-extended for signed sources,
//    zero-extended for unsigned ones (bool as 0/1), reduced modulo 2^width(T);
//  - floating source to integer T: TruncateToInt64, then reduced to the width
//    (-1.5 as uint8_t is 255, 1e10 as int32_t is 1410065408);
//  - any source to float/double: the nearest representable value (uint64_t
//    sources convert as unsigned).
// The caller passes the stored member with its own C++ type (int8_t for Char,
// uint64_t for UInt64, bool for Bool, float for Float, ...).
template <class T, class S>
constexpr T ConvertNumber(S source) {
    static_assert(std::is_arithmetic_v<T> && std::is_arithmetic_v<S>);
    if constexpr (std::is_integral_v<T> && std::is_floating_point_v<S>) {
        return static_cast<T>(static_cast<uint64_t>(TruncateToInt64(static_cast<double>(source))));
    } else {
        // Integral-to-integral conversion is modular in C++20; to floating
        // point it rounds to nearest.
        return static_cast<T>(source);
    }
}

}  // namespace xparam
