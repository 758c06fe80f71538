#include "xparam/number_parse.h"

#include <type_traits>

#include "xparam/counted_text.h"

namespace xparam {
namespace {

bool IsBlank(char16_t u) {
    return u == u' ' || u == u'\t';
}

}  // namespace

template <class T>
bool ParseInteger(const char16_t* text, int32_t length, T& out) {
    using U = std::make_unsigned_t<T>;
    const size_t n = CountedLength(text, length);
    if (n == 0 || text[0] == 0) return false;
    // Accumulate in 64 bits; the low bits are the value modulo 2^width, and
    // the "value is 0" tests look at the target width only.
    uint64_t v = 0;
    unsigned base = 10;
    bool negative = false;
    bool anyDigit = false;
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = text[i];
        if (u == 0) break;
        if (IsBlank(u)) continue;
        const bool zero = static_cast<U>(v) == 0;
        unsigned digit;
        if (u >= u'0' && u <= u'9') {
            digit = u - u'0';
        } else if (base == 16 && u >= u'a' && u <= u'f') {
            digit = u - u'a' + 10;
        } else if (base == 16 && u >= u'A' && u <= u'F') {
            digit = u - u'A' + 10;
        } else if (u == u'$' || u == u'x' || u == u'X') {
            if (!zero || base != 10) return false;
            base = 16;
            continue;
        } else if (u == u'+') {
            if (!zero || negative) return false;
            continue;
        } else if (u == u'-') {
            if (!zero) return false;
            negative = true;
            continue;
        } else {
            return false;
        }
        v = v * base + digit;
        anyDigit = true;
    }
    if (!anyDigit) return false;
    if (negative) v = 0 - v;
    out = static_cast<T>(static_cast<U>(v));
    return true;
}

template bool ParseInteger<int8_t>(const char16_t*, int32_t, int8_t&);
template bool ParseInteger<uint8_t>(const char16_t*, int32_t, uint8_t&);
template bool ParseInteger<int16_t>(const char16_t*, int32_t, int16_t&);
template bool ParseInteger<uint16_t>(const char16_t*, int32_t, uint16_t&);
template bool ParseInteger<int32_t>(const char16_t*, int32_t, int32_t&);
template bool ParseInteger<uint32_t>(const char16_t*, int32_t, uint32_t&);
template bool ParseInteger<int64_t>(const char16_t*, int32_t, int64_t&);
template bool ParseInteger<uint64_t>(const char16_t*, int32_t, uint64_t&);

namespace {

// The floating rule, accumulating in F.
template <class F>
bool ParseFloating(const char16_t* text, int32_t length, F& out) {
    const size_t n = CountedLength(text, length);
    if (n == 0 || text[0] == 0) return false;
    F s = 0;
    F scale = 1;
    bool fraction = false;
    bool negative = false;
    bool anyDigit = false;
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = text[i];
        if (u == 0) break;
        if (IsBlank(u)) continue;
        if (u >= u'0' && u <= u'9') {
            const F digit = static_cast<F>(u - u'0');
            if (fraction) {
                scale /= 10;
                s += digit * scale;
            } else {
                s = s * 10 + digit;
            }
            anyDigit = true;
        } else if (u == u'.') {
            if (fraction) return false;
            fraction = true;
        } else if (u == u'+') {
            if (s != 0 || negative) return false;
        } else if (u == u'-') {
            if (s != 0) return false;
            negative = true;
        } else {
            return false;
        }
    }
    if (!anyDigit) return false;
    out = negative ? -s : s;
    return true;
}

}  // namespace

bool ParseFloat(const char16_t* text, int32_t length, float& out) {
    return ParseFloating(text, length, out);
}

bool ParseDouble(const char16_t* text, int32_t length, double& out) {
    return ParseFloating(text, length, out);
}

}  // namespace xparam
