#include "xparam/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace xparam {
namespace {

// Appends ASCII to a fixed buffer; every form fits kNumberTextCapacity.
struct Writer {
    NumberText& t;

    void Put(char c) { t.text[t.length++] = c; }
    void Put(const char* s) {
        while (*s) Put(*s++);
    }
    void Finish() { t.text[t.length] = 0; }
};

void PutUnsigned(Writer& w, uint64_t v) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) w.Put(digits[--n]);
}

void PutSigned(Writer& w, int64_t v) {
    if (v < 0) {
        w.Put('-');
        // The magnitude in unsigned arithmetic, exact for INT64_MIN too.
        PutUnsigned(w, 0 - static_cast<uint64_t>(v));
    } else {
        PutUnsigned(w, static_cast<uint64_t>(v));
    }
}

// The integer part of a floating value, every digit of it.
void PutIntegerPart(Writer& w, double integerPart) {
    if (std::fabs(integerPart) < 9223372036854775808.0) {
        PutSigned(w, static_cast<int64_t>(integerPart));
        return;
    }
    char* const begin = w.t.text + w.t.length;
    const auto r = std::to_chars(begin, w.t.text + kNumberTextCapacity - 1, integerPart,
                                 std::chars_format::fixed, 0);
    w.t.length = static_cast<int32_t>(r.ptr - w.t.text);
}

// The floating form given the split value (see FormatFloat).
NumberText FloatingText(bool negative, double integerPart, double fraction) {
    NumberText t;
    Writer w{t};
    if (std::isnan(integerPart)) {
        w.Put("nan");
    } else if (std::isinf(integerPart)) {
        w.Put(negative ? "-inf" : "inf");
    } else {
        // Nine fractional digits, truncated; the product in double precision.
        // The store rounds it to double where the arithmetic is wider (the x87
        // unit of 32-bit x86 keeps 0.3 * 1e9 as 299999999.99999998...).
        volatile double product = std::fabs(fraction) * 1000000000.0;
        const auto d = static_cast<uint32_t>(product);
        // A negative value with a zero integer part keeps its sign, also when
        // no digit follows the point (-1e-12 is "-0"); -0.0 is not negative.
        if (integerPart == 0 && fraction < 0) w.Put('-');
        PutIntegerPart(w, integerPart);
        if (d != 0) {
            char digits[9];
            uint32_t rest = d;
            for (int k = 8; k >= 0; --k) {
                digits[k] = static_cast<char>('0' + rest % 10);
                rest /= 10;
            }
            int last = 8;
            while (digits[last] == '0') --last;
            w.Put('.');
            for (int k = 0; k <= last; ++k) w.Put(digits[k]);
        }
    }
    w.Finish();
    return t;
}

template <class CharT>
BasicNumberText<CharT> As(const NumberText& ascii) {
    if constexpr (std::is_same_v<CharT, char>) {
        return ascii;
    } else {
        BasicNumberText<CharT> t;
        for (int32_t k = 0; k <= ascii.length; ++k) t.text[k] = static_cast<CharT>(ascii.text[k]);
        t.length = ascii.length;
        return t;
    }
}

}  // namespace

template <class CharT>
BasicNumberText<CharT> FormatInteger(int64_t value, bool isSigned) {
    NumberText t;
    Writer w{t};
    if (isSigned) {
        PutSigned(w, value);
    } else {
        PutUnsigned(w, static_cast<uint64_t>(value));
    }
    w.Finish();
    return As<CharT>(t);
}

template <class CharT>
BasicNumberText<CharT> FormatFloat(double value) {
    double integerPart = 0;
    const double fraction = std::modf(value, &integerPart);
    return As<CharT>(FloatingText(std::signbit(value), integerPart, fraction));
}

template <class CharT>
BasicNumberText<CharT> FormatFloat(float value) {
    // Split in single precision; the fraction digits are computed in double.
    float integerPart = 0;
    const float fraction = std::modf(value, &integerPart);
    return As<CharT>(FloatingText(std::signbit(value), integerPart, fraction));
}

template <class CharT>
BasicNumberText<CharT> FormatBool(bool value) {
    NumberText t;
    Writer w{t};
    w.Put(value ? '1' : '0');
    w.Finish();
    return As<CharT>(t);
}

template <class CharT>
BasicNumberText<CharT> FormatPointer(const void* value) {
    NumberText t;
    Writer w{t};
    w.Put("0x");
    auto v = reinterpret_cast<uintptr_t>(value);
    char digits[2 * sizeof(uintptr_t)];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[v & 0xF];
        v >>= 4;
    } while (v != 0);
    while (n > 0) w.Put(digits[--n]);
    w.Finish();
    return As<CharT>(t);
}

#define XPARAM_NUMBER_TEXT_INSTANTIATE(CharT)                            \
    template BasicNumberText<CharT> FormatInteger<CharT>(int64_t, bool); \
    template BasicNumberText<CharT> FormatFloat<CharT>(double);          \
    template BasicNumberText<CharT> FormatFloat<CharT>(float);           \
    template BasicNumberText<CharT> FormatBool<CharT>(bool);             \
    template BasicNumberText<CharT> FormatPointer<CharT>(const void*);

XPARAM_NUMBER_TEXT_INSTANTIATE(char)
XPARAM_NUMBER_TEXT_INSTANTIATE(char16_t)

#undef XPARAM_NUMBER_TEXT_INSTANTIATE

}  // namespace xparam
